@echo off
rem A stand-in for LANCEUR.BAT. Appends to fake_launcher.log, beside itself,
rem its two parameters (without their quotes) and its working directory, one
rem per line; then waits about a second and appends "done".
set "here=%~dp0"
>>"%here%fake_launcher.log" echo %~1
>>"%here%fake_launcher.log" echo %~2
>>"%here%fake_launcher.log" cd
ping -n 2 127.0.0.1 >nul
>>"%here%fake_launcher.log" echo done
