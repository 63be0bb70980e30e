' The workstation's facts, gathered by a script client in one of two ways:
'   wmi        without Triveld: WMI for memory and bitness, WScript.Shell.RegRead
'              for the registry, the file system object for the viewer's file
'              and version;
'   component  asked of Triveld.OrvWorkstationInfo.
' Run: cscript //nologo peer_facts.vbs wmi|component ITERATIONS
' Prints "iterations=N seconds=S errors=E" and the last answers.
Option Explicit

' The viewer's data lies in the 32-bit registry view, which a 64-bit host
' (a 64-bit cscript) reads through its Wow6432Node paths.
Dim Software, Classes
Software = "HKLM\SOFTWARE\": Classes = "HKCR\"
If CreateObject("WScript.Shell").Environment("PROCESS")("PROCESSOR_ARCHITECTURE") = "AMD64" Then
    Software = "HKLM\SOFTWARE\Wow6432Node\": Classes = "HKCR\Wow6432Node\"
End If
Dim Settings: Settings = Software & "Orvane\Velmar Distributed\CurrentVersion\"
Dim LiteSettings: LiteSettings = Software & "Orvane\Velmar Distributed Lite\CurrentVersion\"
Dim NetRoot: NetRoot = Software & "Microsoft\NET Framework Setup\NDP\"
' RegRead cannot enumerate (and WMI's StdRegProv methods fail under Wine), so
' a script probes the version keys it knows of.
Dim NetKeys: NetKeys = Array("v1.1.4322", "v2.0.50727", "v3.0", "v3.5", "v4\Client", "v4\Full")
Dim Viewer: Viewer = Classes & "CLSID\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\LocalServer32\"
Dim ViewerLite: ViewerLite = Classes & "CLSID\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}\LocalServer32\"

Dim shell, wmi, files, info, errors
Dim memory, is64, flag, net, viewerType, version, status

Function Unquoted(path)
    Unquoted = path
    If Len(path) >= 2 Then
        If Left(path, 1) = """" And Right(path, 1) = """" Then Unquoted = Mid(path, 2, Len(path) - 2)
    End If
End Function

' The value, or Empty when it is absent (an expected miss, not an error).
Function ReadOrEmpty(path)
    On Error Resume Next
    ReadOrEmpty = Empty
    ReadOrEmpty = shell.RegRead(path)
    Err.Clear
End Function

' "a.b.c.d" as four numbers, missing parts 0.
Function VersionParts(text)
    Dim parts, result(3), i
    parts = Split(text, ".")
    For i = 0 To 3
        result(i) = 0
        If i <= UBound(parts) Then If IsNumeric(parts(i)) Then result(i) = CDbl(parts(i))
    Next
    VersionParts = result
End Function

' True when version b (with release rb) is newer than a (with ra).
Function IsNewer(a, ra, b, rb)
    Dim i
    IsNewer = False
    For i = 0 To 1
        If b(i) <> a(i) Then IsNewer = b(i) > a(i): Exit Function
    Next
    If ra > 0 And rb > 0 Then IsNewer = rb > ra: Exit Function
    For i = 2 To 3
        If b(i) <> a(i) Then IsNewer = b(i) > a(i): Exit Function
    Next
End Function

Function NewestNet()
    Dim name, key, text, release, best, bestRelease, parts
    best = VersionParts("0.0.0.0"): bestRelease = 0
    For Each name In NetKeys
        key = NetRoot & name & "\"
        If ReadOrEmpty(key & "Install") = 1 Then
            text = ReadOrEmpty(key & "Version")
            release = ReadOrEmpty(key & "Release")
            If IsEmpty(release) Then release = 0
            If Not IsEmpty(text) Then
                parts = VersionParts(text)
                If IsNewer(best, bestRelease, parts, release) Then best = parts: bestRelease = release
            End If
        End If
    Next
    NewestNet = best(0) & "." & best(1) & "." & best(2) & "." & best(3) & ";" & bestRelease
End Function

Sub Note()
    If Err.Number <> 0 Then errors = errors + 1
    Err.Clear
End Sub

Sub AskWmi()
    Dim item, first, second
    On Error Resume Next
    For Each item In wmi.ExecQuery("SELECT TotalPhysicalMemory FROM Win32_ComputerSystem")
        memory = Fix(CDbl(item.TotalPhysicalMemory) / 1048576)
    Next
    Note
    For Each item In wmi.ExecQuery("SELECT OSArchitecture FROM Win32_OperatingSystem")
        is64 = InStr(item.OSArchitecture, "64") > 0
    Next
    Note
    flag = shell.RegRead(Settings & "DoNotUpgradeTo64") = 1: Note
    net = NewestNet(): Note
    first = Unquoted(shell.RegRead(Viewer)): Note
    second = Unquoted(shell.RegRead(ViewerLite)): Note
    viewerType = 0
    If files.FileExists(first) Then
        viewerType = 1
        If LCase(first) = LCase(second) And files.FileExists(second) Then viewerType = 2
        version = files.GetFileVersion(first): Note
    End If
    status = shell.RegRead(LiteSettings & "LastInstallStatus"): Note
End Sub

Sub AskComponent()
    On Error Resume Next
    memory = info.GetPhysicalMemory(): Note
    is64 = info.Is64BitOS(): Note
    flag = info.DoNotUpgradeTo64: Note
    net = info.NetVersion: Note
    viewerType = info.ViewerType: Note
    version = info.ViewerVersion: Note
    status = info.GetLastClientInstallStatus(viewerType): Note
End Sub

Dim mode, iterations, i, started, elapsed
mode = WScript.Arguments(0)
iterations = CLng(WScript.Arguments(1))
errors = 0
On Error Resume Next
If mode = "component" Then
    Set info = CreateObject("Triveld.OrvWorkstationInfo"): Note
Else
    Set shell = CreateObject("WScript.Shell"): Note
    Set files = CreateObject("Scripting.FileSystemObject"): Note
    Set wmi = GetObject("winmgmts:\\.\root\cimv2"): Note
End If
started = Timer
For i = 1 To iterations
    If mode = "component" Then AskComponent Else AskWmi
Next
elapsed = Timer - started
WScript.Echo "iterations=" & iterations & " seconds=" & elapsed & " errors=" & errors
WScript.Echo "answers: memory=" & memory & " is64=" & is64 & " flag=" & flag & " net=" & net & _
             " type=" & viewerType & " version=" & version & " status=" & status
