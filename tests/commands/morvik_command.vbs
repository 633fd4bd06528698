' Drives a registered command component the way an OLE Automation host
' does: created by ProgID, every event called by name through IDispatch.
' Arguments: the ProgID, the CSB panel number for the string box hook.
' Exit code: the number of failed checks.
Option Explicit
Dim failures, command, code
failures = 0

Sub Check(ok, what)
    If ok Then
        WScript.Echo "ok: " & what
    Else
        WScript.Echo "FAILED: " & what & " (error " & Hex(Err.Number) & " " & Err.Description & ")"
        failures = failures + 1
    End If
    Err.Clear
End Sub

On Error Resume Next
Set command = CreateObject(WScript.Arguments(0))
Check Err.Number = 0 And IsObject(command), "created by ProgID"
If failures > 0 Then WScript.Quit failures

command.VokProcPreEvent
Check Err.Number = 0, "VokProcPreEvent"
command.VokProcDrawRubber 1.5, -2.5
Check Err.Number = 0, "VokProcDrawRubber"
command.VokProcPositionEvent 1, 2.5, 3.5
Check Err.Number = 0, "VokProcPositionEvent"
command.VokProcPositionEventEx 1, 2.5, 3.5, 4.5, 5.5, 6, 7, 8, 9
Check Err.Number = 0, "VokProcPositionEventEx"
command.VokProcElementEvent 100000, 3
Check Err.Number = 0, "VokProcElementEvent"
command.VokProcElementEventEx 100, 3, 1.5, 2.5, 1
Check Err.Number = 0, "VokProcElementEventEx"
command.VokProcMultiElementEvent 1, 10, 11, 12
Check Err.Number = 0, "VokProcMultiElementEvent"
command.VokProcMultiElementEventEx 1, 10, 11, 12, 1.5, 2.5, 30, 40
Check Err.Number = 0, "VokProcMultiElementEventEx"
command.VokProcSystemEvent 32767
Check Err.Number = 0, "VokProcSystemEvent"
command.VokProcOperationEvent -32768, 2
Check Err.Number = 0, "VokProcOperationEvent"
command.VokProcIntBoxEvent 1, 2, 123456
Check Err.Number = 0, "VokProcIntBoxEvent"
command.VokProcRealBoxEvent 1, 2, 0.5
Check Err.Number = 0, "VokProcRealBoxEvent"
command.VokProcButtonEvent 1, 2, 1
Check Err.Number = 0, "VokProcButtonEvent"
command.VokProcStringBoxEvent 1, 2, "text"
Check Err.Number = 0, "VokProcStringBoxEvent"

code = CLng(5)
command.VokProcEndCmd (code)
Check Err.Number = 0 And code = 5, "VokProcEndCmd leaves nCode"

command.VokProcStringBoxEventHook CInt(WScript.Arguments(1)), 4, 0
Check Err.Number = 0, "VokProcStringBoxEventHook"

' A value outside the 16-bit range does not reach a 16-bit parameter.
command.VokProcSystemEvent 40000
Check Err.Number <> 0, "VokProcSystemEvent refuses 40000"

Set command = Nothing
WScript.Echo failures & " failed"
WScript.Quit failures
