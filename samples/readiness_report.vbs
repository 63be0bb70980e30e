' Readiness report of this workstation for the Velmar viewer, read through
' Triveld.OrvWorkstationInfo.  Run: cscript //nologo readiness_report.vbs
' Exit code: 0 when the report was made, 1 when the component is missing.
' Every call is guarded: some script hosts exit 0 on an uncaught error.
Option Explicit

Function Hex8(number)
    Hex8 = "0x" & Right("00000000" & Hex(number), 8)
End Function

Function Pad(text, width)
    Pad = text
    If Len(Pad) < width Then Pad = Pad & Space(width - Len(Pad))
End Function

Function ViewerName(viewerType)
    Select Case viewerType
        Case 1: ViewerName = "Velmar Distributed"
        Case 2: ViewerName = "Velmar Distributed Lite"
        Case Else: ViewerName = "none"
    End Select
End Function

Sub Row(answer, errorNumber, value)
    Dim result
    If errorNumber = 0 Then
        result = "S_OK"
    Else
        result = Hex8(errorNumber)
        value = "-"
    End If
    WScript.Echo Pad(answer, 34) & Pad(result, 12) & value
End Sub

Function Main()
    Dim info, memory, is64, flag, net, viewerType, version, statusType, status
    Dim errMemory, errIs64, errFlag, errNet, errType, errVersion, errStatus

    On Error Resume Next
    Set info = CreateObject("Triveld.OrvWorkstationInfo")
    If Err.Number <> 0 Then
        WScript.Echo "Triveld.OrvWorkstationInfo cannot be created: " & Hex8(Err.Number) & _
                     " (is Triveld.dll registered?)"
        Main = 1
        Exit Function
    End If

    Err.Clear: memory = info.GetPhysicalMemory(): errMemory = Err.Number
    Err.Clear: is64 = info.Is64BitOS(): errIs64 = Err.Number
    Err.Clear: flag = info.DoNotUpgradeTo64: errFlag = Err.Number
    Err.Clear: net = info.NetVersion: errNet = Err.Number
    Err.Clear: viewerType = info.ViewerType: errType = Err.Number
    Err.Clear: version = info.ViewerVersion: errVersion = Err.Number
    statusType = 1
    If errType = 0 Then If viewerType > 0 Then statusType = viewerType
    Err.Clear: status = info.GetLastClientInstallStatus(statusType): errStatus = Err.Number
    Err.Clear

    WScript.Echo Pad("Answer", 34) & Pad("Result", 12) & "Value"
    WScript.Echo Pad("------", 34) & Pad("------", 12) & "-----"
    Row "GetPhysicalMemory", errMemory, memory & " MiB"
    If is64 Then Row "Is64BitOS", errIs64, "yes" Else Row "Is64BitOS", errIs64, "no"
    If flag Then Row "DoNotUpgradeTo64", errFlag, "set" Else Row "DoNotUpgradeTo64", errFlag, "clear"
    Row "NetVersion", errNet, net
    Row "ViewerType", errType, viewerType & " (" & ViewerName(viewerType) & ")"
    If IsNull(version) Or IsEmpty(version) Then version = "(none)"
    Row "ViewerVersion", errVersion, version
    Row "GetLastClientInstallStatus(" & statusType & ")", errStatus, status

    Dim problems
    problems = ""
    If errType <> 0 Then
        problems = problems & "; no viewer installed"
    ElseIf viewerType = 0 Then
        problems = problems & "; no viewer installed"
    ElseIf errVersion <> 0 Or version = "(none)" Then
        problems = problems & "; viewer version unreadable"
    End If
    If errStatus = 0 Then
        If status <> 0 Then problems = problems & "; last viewer installation ended with status " & status
    ElseIf errType = 0 Then
        If viewerType > 0 Then problems = problems & "; no viewer installation status"
    End If
    If errNet <> 0 Then
        problems = problems & "; no .NET Framework found"
    ElseIf net = "0.0.0.0;0" Then
        problems = problems & "; no .NET Framework found"
    End If
    WScript.Echo ""
    If problems = "" Then
        WScript.Echo "Verdict: READY - " & ViewerName(viewerType) & " " & version & _
                     " installed cleanly, .NET " & net
    Else
        WScript.Echo "Verdict: NOT READY - " & Mid(problems, 3)
    End If
    Main = 0
End Function

WScript.Quit Main()
