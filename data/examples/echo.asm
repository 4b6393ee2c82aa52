* ==============================================================
*  echo.asm : écho sur la liaison série (SCI)
*  Carte : circuit seul
* ==============================================================
*  Chaque caractère reçu sur la liaison série est renvoyé tel
*  quel. Dans le simulateur, tapez dans le terminal : ce que vous
*  tapez revient, c'est le 68HC11 qui le renvoie.
*
*  9600 bauds, 8 bits, sans parité, 1 bit de stop. Avec un quartz
*  de 8 MHz (E = 2 MHz), BAUD = $30 : prédiviseur 13, diviseur 1,
*  soit 2 000 000 / 16 / 13 = 9615 bauds, assez proche de 9600.
* --------------------------------------------------------------

REGS     EQU  $1000
BAUD     EQU  $2B            vitesse
SCCR1    EQU  $2C            format des caractères
SCCR2    EQU  $2D            émetteur et récepteur
SCSR     EQU  $2E            état de la liaison
SCDR     EQU  $2F            donnée reçue ou à envoyer

TDRE     EQU  %10000000      registre d'émission vide
RDRF     EQU  %00100000      un caractère est arrivé

         ORG  $D000
DEBUT    LDS  #$01FF
         LDX  #REGS
         LDAA #$30           9600 bauds avec un quartz de 8 MHz
         STAA BAUD,X
         CLR  SCCR1,X        8 bits de données
         LDAA #%00001100     TE et RE : émetteur et récepteur en marche
         STAA SCCR2,X

* Attend un caractère...
RECOIT   BRCLR SCSR,X,RDRF,RECOIT
         LDAA SCDR,X         le lire efface RDRF
* ...attend que l'émetteur soit libre, et le renvoie.
EMET     BRCLR SCSR,X,TDRE,EMET
         STAA SCDR,X
         BRA  RECOIT

         ORG  $FFFE          vecteur de reset
         FDB  DEBUT
