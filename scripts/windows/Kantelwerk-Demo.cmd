@echo off
rem Starts Kantelwerk on its built-in simulated bus (a two-bus interface on COM1 with a
rem module of every family) in the folder "Demo" beside this file. The folder is made
rem on the first start; its preference files are kept from then on.
setlocal
set "here=%~dp0"
set "demo=%here%Demo"
if not exist "%demo%" mkdir "%demo%"
copy /y "%here%*.Lang_*" "%demo%\" >nul
if exist "%here%Help" xcopy /e /i /q /y "%here%Help" "%demo%\Help" >nul
set "pref=%demo%\VX_PREF_Alle_V3.pref"
if exist "%pref%" goto prepared
> "%pref%" echo [Bus2Com]
>> "%pref%" echo Bus0Com = 1
>> "%pref%" echo Bus0Akt = 1
>> "%pref%" echo Bus0SX1 = 0
>> "%pref%" echo Bus1Com = 1
>> "%pref%" echo Bus1Akt = 1
>> "%pref%" echo Bus1SX1 = 1
>> "%pref%" echo [ComPorts]
>> "%pref%" echo ComPort01used = 1
>> "%pref%" echo ComPort01Typ = 3
>> "%pref%" echo ComPort01Baud = 0
:prepared
set KANTELWERK_COM1=sim
cd /d "%demo%"
start "" "%here%kantelwerk.exe"
