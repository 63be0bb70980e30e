' Readiness report of this workstation for the Velmar viewer, read through
' Triveld.OrvWorkstationInfo.  Run: cscript //nologo readiness_report.vbs [options]
' Options:
'   /minmemory:MIB   NOT READY with less physical memory than MIB MiB
'   /minnet:VERSION  NOT READY below this .NET Framework: 2.0, 3.0, 3.5, 4.5 to 4.8.1
' Exit code: 0 READY, 1 NOT READY, 2 the component cannot be created,
' 3 usage error, 4 unexpected error.
' Every error is caught here: some script hosts exit 0 on an uncaught error,
' which a management tool would take for READY. Only the small functions that
' call the component or write a message resume after an error; anywhere else
' an error ends the report.
Option Explicit

Dim usageErrorNumber, minMemory, minNet, minNetRelease, minNetMajor, minNetMinor
usageErrorNumber = vbObjectError + 3

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

Function IsDigits(text)
    Dim i
    IsDigits = Len(text) > 0
    For i = 1 To Len(text)
        If InStr("0123456789", Mid(text, i, 1)) = 0 Then IsDigits = False
    Next
End Function

' --- Options ---

Sub UsageError(message)
    Err.Raise usageErrorNumber, "readiness_report.vbs", message
End Sub

' Any number of digits: the leading zeros go first, so that CDbl sees ten
' digits at most.
Sub ParseMinMemory(text)
    Dim number
    number = text
    Do While Len(number) > 1 And Left(number, 1) = "0"
        number = Mid(number, 2)
    Loop
    If Not IsDigits(number) Or Len(number) > 10 Then
        UsageError "/minmemory needs a whole number of MiB, not '" & text & "'"
    ElseIf CDbl(number) > 2147483647 Then
        UsageError "/minmemory needs a whole number of MiB, not '" & text & "'"
    End If
    minMemory = CLng(number)
End Sub

' Microsoft's documented minimum "Release" value of each .NET Framework from
' 4.5 on: the four-part version cannot tell 4.8.1 (4.8.9032) from 4.8
' (4.8.3761). Earlier versions have no release number: their major.minor decides.
Sub ParseMinNet(text)
    minNetRelease = Empty
    Select Case text
        Case "2.0": minNetMajor = 2: minNetMinor = 0
        Case "3.0": minNetMajor = 3: minNetMinor = 0
        Case "3.5": minNetMajor = 3: minNetMinor = 5
        Case "4.5": minNetRelease = 378389
        Case "4.5.1": minNetRelease = 378675
        Case "4.5.2": minNetRelease = 379893
        Case "4.6": minNetRelease = 393295
        Case "4.6.1": minNetRelease = 394254
        Case "4.6.2": minNetRelease = 394802
        Case "4.7": minNetRelease = 460798
        Case "4.7.1": minNetRelease = 461308
        Case "4.7.2": minNetRelease = 461808
        Case "4.8": minNetRelease = 528040
        Case "4.8.1": minNetRelease = 533320
        Case Else: UsageError "/minnet knows 2.0, 3.0, 3.5 and 4.5 to 4.8.1, not '" & text & "'"
    End Select
    minNet = text
End Sub

Sub ParseOptions()
    Dim i, argument, lower
    For i = 0 To WScript.Arguments.Count - 1
        argument = WScript.Arguments(i)
        lower = LCase(argument)
        If Left(lower, 11) = "/minmemory:" Then
            ParseMinMemory Mid(argument, 12)
        ElseIf Left(lower, 8) = "/minnet:" Then
            ParseMinNet Mid(argument, 9)
        Else
            UsageError "unknown option '" & argument & "'"
        End If
    Next
End Sub

' --- The component: these functions and Complain alone resume after an error
' (and clear it, so that the caller does not see it) ---

' Creates the component into `info`; returns the error number (0: created).
Function CreateComponent(info)
    On Error Resume Next
    Set info = CreateObject("Triveld.OrvWorkstationInfo")
    CreateComponent = Err.Number
    Err.Clear
End Function

' Reads one answer into `value`; returns the error number (0: answered).
' `argument` is GetLastClientInstallStatus's viewer type.
Function Ask(info, member, argument, value)
    On Error Resume Next
    Select Case member
        Case "GetPhysicalMemory": value = info.GetPhysicalMemory()
        Case "Is64BitOS": value = info.Is64BitOS()
        Case "DoNotUpgradeTo64": value = info.DoNotUpgradeTo64
        Case "NetVersion": value = info.NetVersion
        Case "ViewerType": value = info.ViewerType
        Case "ViewerVersion": value = info.ViewerVersion
        Case "GetLastClientInstallStatus": value = info.GetLastClientInstallStatus(argument)
    End Select
    Ask = Err.Number
    Err.Clear
End Function

' Messages that are not the report go to standard error where the host has
' one (Wine's cscript has none).
Sub Complain(message)
    On Error Resume Next
    WScript.StdErr.WriteLine message
    If Err.Number <> 0 Then WScript.Echo message
    Err.Clear
End Sub

' --- The report ---

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

' Whether a NetVersion answer ("4.8.3761.0;528040") meets /minnet; False for an
' answer that is not of that form.
Function MeetsNet(net)
    Dim halves, fields, i
    MeetsNet = False
    halves = Split(net, ";")
    If UBound(halves) <> 1 Then Exit Function
    fields = Split(halves(0), ".")
    If UBound(fields) <> 3 Or Not IsDigits(halves(1)) Then Exit Function
    For i = 0 To 3
        If Not IsDigits(fields(i)) Then Exit Function
    Next
    If Not IsEmpty(minNetRelease) Then
        MeetsNet = CDbl(halves(1)) >= minNetRelease
    ElseIf CDbl(fields(0)) <> minNetMajor Then
        MeetsNet = CDbl(fields(0)) > minNetMajor
    Else
        MeetsNet = CDbl(fields(1)) >= minNetMinor
    End If
End Function

Function NetRequirementText()
    If IsEmpty(minNetRelease) Then
        NetRequirementText = minNet
    Else
        NetRequirementText = minNet & " (release " & minNetRelease & ")"
    End If
End Function

Function Main()
    Dim info, memory, is64, flag, net, viewerType, version, statusType, status
    Dim errMemory, errIs64, errFlag, errNet, errType, errVersion, errStatus, errCreate

    ParseOptions
    errCreate = CreateComponent(info)
    If errCreate <> 0 Then
        Complain "Triveld.OrvWorkstationInfo cannot be created: " & Hex8(errCreate) & _
                 " (is Triveld.dll registered?)"
        Main = 2
        Exit Function
    End If

    errMemory = Ask(info, "GetPhysicalMemory", Empty, memory)
    errIs64 = Ask(info, "Is64BitOS", Empty, is64)
    errFlag = Ask(info, "DoNotUpgradeTo64", Empty, flag)
    errNet = Ask(info, "NetVersion", Empty, net)
    errType = Ask(info, "ViewerType", Empty, viewerType)
    errVersion = Ask(info, "ViewerVersion", Empty, version)
    statusType = 1
    If errType = 0 Then If viewerType > 0 Then statusType = viewerType
    errStatus = Ask(info, "GetLastClientInstallStatus", statusType, status)

    WScript.Echo Pad("Answer", 34) & Pad("Result", 12) & "Value"
    WScript.Echo Pad("------", 34) & Pad("------", 12) & "-----"
    Row "GetPhysicalMemory", errMemory, memory & " MiB"
    If is64 Then Row "Is64BitOS", errIs64, "yes" Else Row "Is64BitOS", errIs64, "no"
    If flag Then Row "DoNotUpgradeTo64", errFlag, "set" Else Row "DoNotUpgradeTo64", errFlag, "clear"
    Row "NetVersion", errNet, net
    Row "ViewerType", errType, viewerType & " (" & ViewerName(viewerType) & ")"
    If IsNull(version) Or IsEmpty(version) Or version = "" Then version = "(none)"
    Row "ViewerVersion", errVersion, version
    Row "GetLastClientInstallStatus(" & statusType & ")", errStatus, status

    Dim problems, hasNet
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
    hasNet = (errNet = 0)
    If hasNet Then hasNet = net <> "0.0.0.0;0"
    If Not hasNet Then problems = problems & "; no .NET Framework found"
    If Not IsEmpty(minMemory) Then
        If errMemory <> 0 Then
            problems = problems & "; physical memory unknown (" & Hex8(errMemory) & "), " & _
                       minMemory & " MiB required"
        ElseIf memory < minMemory Then
            problems = problems & "; physical memory " & memory & " MiB is below the required " & _
                       minMemory & " MiB"
        End If
    End If
    If Not IsEmpty(minNet) And hasNet Then
        If Not MeetsNet(net) Then
            problems = problems & "; .NET Framework " & net & " is below the required " & _
                       NetRequirementText()
        End If
    End If
    WScript.Echo ""
    If problems = "" Then
        WScript.Echo "Verdict: READY - " & ViewerName(viewerType) & " " & version & _
                     " installed cleanly, .NET " & net
        Main = 0
    Else
        WScript.Echo "Verdict: NOT READY - " & Mid(problems, 3)
        Main = 1
    End If
End Function

' The exit code: Main's, 3 for a usage error, 4 for any other error.
Function RunReport()
    Dim exitCode
    On Error Resume Next
    exitCode = Main()
    If Err.Number = usageErrorNumber Then
        Complain Err.Description
        Complain "usage: cscript //nologo readiness_report.vbs [/minmemory:MIB] [/minnet:VERSION]"
        exitCode = 3
    ElseIf Err.Number <> 0 Then
        Complain "Unexpected error: " & Hex8(Err.Number) & " " & Err.Description
        exitCode = 4
    End If
    RunReport = exitCode
End Function

WScript.Quit RunReport()
