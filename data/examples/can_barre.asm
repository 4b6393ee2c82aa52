* ==============================================================
*  can_barre.asm : le potentiomètre en barre de LED
*  Carte : monopuce (potentiomètre sur PE0)
* ==============================================================
*  Le convertisseur analogique/numérique mesure la tension du
*  potentiomètre (0 à 5 V sur PE0) et donne un nombre de 0 à 255.
*  On l'affiche en barre sur les 8 sorties du port B : d'autant
*  plus de bits à 1 que la tension est haute (une LED de plus
*  tous les 32 pas, environ 0,6 V). Regardez le port B dans la
*  fenêtre de simulation et tournez le potentiomètre.
*
*  Le convertisseur doit être mis sous tension (ADPU dans OPTION)
*  au moins 100 µs avant la première mesure.
* --------------------------------------------------------------

REGS     EQU  $1000
PORTB    EQU  $04
ADCTL    EQU  $30            commande et état du convertisseur
ADR1     EQU  $31            premier résultat
OPTION   EQU  $39
ADPU     EQU  %10000000      mise sous tension du convertisseur
CCF      EQU  %10000000      conversions terminées
SCAN     EQU  %00100000      conversions en continu

         ORG  $D000
DEBUT    LDS  #$01FF
         LDX  #REGS
         CLR  PORTB,X        barre éteinte
         BSET OPTION,X,ADPU  on allume le convertisseur...
         LDAA #70            ...et on attend plus de 100 µs
ALLUME   DECA
         BNE  ALLUME
         LDAA #SCAN          en continu sur la voie 0, c'est-à-dire PE0
         STAA ADCTL,X

BOUCLE   BRCLR ADCTL,X,CCF,BOUCLE   attend une mesure
         LDAA ADR1,X         A = tension lue, de 0 à 255
* On compte les seuils atteints : un bit de plus par seuil
         CLRB                barre vide
         LDY  #SEUILS
SEUIL    CMPA 0,Y
         BLO  AFFICHE        seuil pas atteint : la barre est finie
         SEC
         ROLB                un bit à 1 de plus, par la droite
         INY
         CPY  #SEUILS+8
         BNE  SEUIL
AFFICHE  STAB PORTB,X
         BRA  BOUCLE

* Les huit seuils, au milieu de chaque tranche de 32
SEUILS   FCB  16,48,80,112,144,176,208,240

         ORG  $FFFE
         FDB  DEBUT
