@echo off
rem Lanceur de l'assembleur en mode Batch, appel‚ par Kavrel :
rem   LANCEUR.BAT "<r‚pertoire du programme>" <source>
rem Lance <r‚pertoire>\asmhc11.exe sur <source> dans cette console, puis
rem attend une touche avant de la fermer.
rem Le nom de la source n'est jamais relu comme une commande : il n'est lu
rem qu'entre guillemets, puis d‚velopp‚ par !...! seulement, une fois que
rem l'interpr‚teur a reconnu les & | < > ( ) de la ligne.
setlocal DisableDelayedExpansion
set "KAVREL_DIR=%~1"
rem Dans la ligne entiŠre, le r‚pertoire est lu hors des guillemets : s'il
rem contient & | < > ^, rien de la ligne n'est lu.
set "KAVREL_T=%KAVREL_DIR:&=%"
set "KAVREL_T=%KAVREL_T:|=%"
set "KAVREL_T=%KAVREL_T:<=%"
set "KAVREL_T=%KAVREL_T:>=%"
set "KAVREL_T=%KAVREL_T:^=%"
setlocal EnableDelayedExpansion
if "!KAVREL_DIR!"=="" goto usage
if not "!KAVREL_T!"=="!KAVREL_DIR!" goto folder
endlocal
set "KAVREL_ALL=%*"
rem Tout ce qui suit le r‚pertoire entre guillemets et son blanc.
set "KAVREL_SRC=%KAVREL_ALL:*" =%"
setlocal EnableDelayedExpansion
if "!KAVREL_SRC!"=="!KAVREL_ALL!" goto usage
echo Kavrel : assemblage de !KAVREL_SRC!
cd /d "!KAVREL_DIR!"
"!KAVREL_DIR!\asmhc11.exe" !KAVREL_SRC!
set KAVREL_STATUS=!ERRORLEVEL!
echo Kavrel : asmhc11 a termin‚ (code !KAVREL_STATUS!).
echo.
echo Appuyez sur une touche pour fermer...
pause >nul
exit /b !KAVREL_STATUS!

:folder
echo Kavrel : le r‚pertoire du programme !KAVREL_DIR! contient un des caractŠres ^& ^| ^< ^> ^^,
echo que l'interpr‚teur de commandes ne peut pas recevoir tels quels. Installez Kavrel ailleurs.
echo.
echo Appuyez sur une touche pour fermer...
pause >nul
exit /b 3

:usage
echo Utilisation : LANCEUR.BAT "<r‚pertoire du programme>" ^<source^>
exit /b 2
