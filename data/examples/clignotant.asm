* ==============================================================
*  clignotant.asm : une LED qui clignote au rythme du timer
*  Carte : monopuce (LED verte sur PA4)
* ==============================================================
*  La LED verte s'allume une demi-seconde, s'éteint une demi-
*  seconde, et ainsi de suite. Le temps est mesuré par le timer,
*  pas par une boucle d'attente : la comparaison OC2 demande une
*  interruption toutes les 10 ms, et toutes les 50 interruptions
*  (50 x 10 ms = 500 ms) on inverse la LED.
*
*  Quartz de 8 MHz : l'horloge E, qui fait avancer TCNT, tourne à
*  2 MHz. 10 ms valent donc 20000 coups d'horloge.
* --------------------------------------------------------------

REGS     EQU  $1000          les registres commencent en $1000
PORTA    EQU  $00            position de chaque registre depuis REGS
TCNT     EQU  $0E
TOC2     EQU  $18
TMSK1    EQU  $22
TFLG1    EQU  $23

OC2F     EQU  %01000000      drapeau de OC2 dans TFLG1 et TMSK1
LED      EQU  %00010000      la LED verte est sur PA4
PERIODE  EQU  20000          10 ms en coups d'horloge E
NB_IT    EQU  50             50 interruptions pour 500 ms

COMPTE   EQU  $0000          compteur d'interruptions, en RAM

         ORG  $D000          le programme dans la ROM du E9
DEBUT    LDS  #$01FF         la pile en haut de la RAM
         LDX  #REGS          X pointe sur les registres
         LDAA #NB_IT
         STAA COMPTE
* Première échéance : dans 10 ms à partir de maintenant.
         LDD  TCNT,X
         ADDD #PERIODE
         STD  TOC2,X
         LDAA #OC2F
         STAA TFLG1,X        on efface le drapeau en y écrivant un 1
         STAA TMSK1,X        et on autorise l'interruption de OC2
         CLI                 les interruptions sont permises
* Le programme principal n'a plus rien à faire : tout se passe
* dans l'interruption.
ATTENTE  BRA  ATTENTE

* --- Interruption de OC2, toutes les 10 ms ---------------------
IT_OC2   LDX  #REGS
         LDD  TOC2,X         échéance suivante : 10 ms plus tard
         ADDD #PERIODE
         STD  TOC2,X
         LDAA #OC2F
         STAA TFLG1,X        acquitte l'interruption
         DEC  COMPTE         encore une tranche de 10 ms
         BNE  FIN
         LDAA #NB_IT         500 ms sont passées :
         STAA COMPTE
         LDAA PORTA,X
         EORA #LED           on inverse la LED
         STAA PORTA,X
FIN      RTI

* --- Vecteurs ---------------------------------------------------
         ORG  $FFE6          vecteur de OC2
         FDB  IT_OC2
         ORG  $FFFE          vecteur de reset
         FDB  DEBUT
