@echo off
rem Registers (register.cmd /u: unregisters) the two command components beside this file.
rem On 64-bit Windows the 32-bit regsvr32 of SysWOW64 is used.
set REGSVR=regsvr32
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set REGSVR=%SystemRoot%\SysWOW64\regsvr32.exe
for %%c in (csbclean histclean) do (
  "%REGSVR%" /s %1 "%~dp0%%c.dll" || (echo register: %%c.dll failed & exit /b 1)
  echo register: %%c.dll done
)
