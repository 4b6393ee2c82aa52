* ==============================================================
*  tonalite.asm : une note de 1 kHz sur le buzzer
*  Carte : carte de TP (buzzer sur PA5)
* ==============================================================
*  La comparaison OC3 commande elle-même la broche PA5 : à chaque
*  fois que TCNT atteint TOC3, elle inverse PA5, sans que le
*  programme touche au port. Il suffit de reporter TOC3 à chaque
*  fois une demi-période plus loin.
*
*  1 kHz : une période de 1 ms, donc une demi-période de 500 µs,
*  soit 1000 coups de l'horloge E à 2 MHz.
*  Ouvrez le chronogramme : PA5 y monte et descend toutes les
*  500 µs.
* --------------------------------------------------------------

REGS     EQU  $1000
TCNT     EQU  $0E
TOC3     EQU  $1A
TCTL1    EQU  $20
TFLG1    EQU  $23
OC3F     EQU  %00100000      drapeau de OC3
DEMI     EQU  1000           demi-période en coups d'horloge E

         ORG  $2000
DEBUT    LDS  #$01FF
         LDX  #REGS
         LDAA #%00010000     OM3 = 0, OL3 = 1 : OC3 inverse PA5
         STAA TCTL1,X
         LDD  TCNT,X         première inversion dans 500 µs
         ADDD #DEMI
         STD  TOC3,X
         LDAA #OC3F
         STAA TFLG1,X        efface le drapeau

BOUCLE   BRCLR TFLG1,X,OC3F,BOUCLE   attend l'inversion
         LDD  TOC3,X         la suivante, 500 µs plus tard
         ADDD #DEMI
         STD  TOC3,X
         LDAA #OC3F
         STAA TFLG1,X
         BRA  BOUCLE

         ORG  $FFFE
         FDB  DEBUT
