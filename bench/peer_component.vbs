' The same facts asked of Triveld.OrvWorkstationInfo.
' Run: cscript //nologo peer_component.vbs ITERATIONS
' Prints "iterations=N seconds=S errors=E" and the last answers.
Option Explicit

Dim info, errors
Dim memory, is64, flag, net, viewerType, version, status

Sub Note()
    If Err.Number <> 0 Then errors = errors + 1
    Err.Clear
End Sub

Sub AskOnce()
    On Error Resume Next
    memory = info.GetPhysicalMemory(): Note
    is64 = info.Is64BitOS(): Note
    flag = info.DoNotUpgradeTo64: Note
    net = info.NetVersion: Note
    viewerType = info.ViewerType: Note
    version = info.ViewerVersion: Note
    status = info.GetLastClientInstallStatus(viewerType): Note
End Sub

Dim iterations, i, started, elapsed
iterations = CLng(WScript.Arguments(0))
errors = 0
On Error Resume Next
Set info = CreateObject("Triveld.OrvWorkstationInfo"): Note
started = Timer
For i = 1 To iterations
    AskOnce
Next
elapsed = Timer - started
WScript.Echo "iterations=" & iterations & " seconds=" & elapsed & " errors=" & errors
WScript.Echo "answers: memory=" & memory & " is64=" & is64 & " flag=" & flag & " net=" & net & _
             " type=" & viewerType & " version=" & version & " status=" & status
