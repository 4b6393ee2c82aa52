* ==============================================================
*  compteur.asm : un compteur sur les quatre afficheurs
*  Carte : monopuce (afficheurs 7 segments multiplexés)
* ==============================================================
*  Les quatre afficheurs partagent les mêmes segments (port B :
*  a sur PB0 ... g sur PB6, le point sur PB7). Un 1 sur PD2 à PD5
*  allume un seul afficheur : on les allume l'un après l'autre,
*  chacun 2,5 ms, assez vite pour que l'oeil les voie tous.
*
*  Le compteur avance de 1 tous les dixièmes de seconde, de 0000
*  à 9999, en décimal : un chiffre par octet.
*  Le temps est donné par la comparaison OC2 (E = 2 MHz).
* --------------------------------------------------------------

REGS     EQU  $1000
PORTB    EQU  $04
PORTD    EQU  $08
DDRD     EQU  $09
TCNT     EQU  $0E
TOC2     EQU  $18
TFLG1    EQU  $23
OC2F     EQU  %01000000
TRANCHE  EQU  5000           2,5 ms en coups d'horloge E
NB_TR    EQU  40             40 x 2,5 ms = 100 ms

CHIFFRES EQU  $0010          4 octets : milliers, centaines, dizaines, unités
RANG     EQU  $0014          l'afficheur allumé, de 0 à 3
SELECT   EQU  $0015          son bit sur le port D
TEMPS    EQU  $0016          tranches avant le prochain comptage

         ORG  $D000
DEBUT    LDS  #$01FF
         LDX  #REGS
         LDAA #%00111100     PD2 à PD5 en sortie
         STAA DDRD,X
         CLR  CHIFFRES       le compteur part de 0000
         CLR  CHIFFRES+1
         CLR  CHIFFRES+2
         CLR  CHIFFRES+3
         CLR  RANG
         LDAA #%00000100     on commence par PD2, le plus à gauche
         STAA SELECT
         LDAA #NB_TR
         STAA TEMPS
         LDD  TCNT,X
         ADDD #TRANCHE
         STD  TOC2,X
         LDAA #OC2F
         STAA TFLG1,X

* Toutes les 2,5 ms : l'afficheur suivant
BOUCLE   BRCLR TFLG1,X,OC2F,BOUCLE
         LDD  TOC2,X
         ADDD #TRANCHE
         STD  TOC2,X
         LDAA #OC2F
         STAA TFLG1,X
         CLR  PORTD,X        tout éteint pendant qu'on change les segments
         LDY  #CHIFFRES
         LDAB RANG
         ABY
         LDAB 0,Y            le chiffre de ce rang...
         LDY  #SEGMENTS
         ABY
         LDAA 0,Y            ...et ses segments
         STAA PORTB,X
         LDAA SELECT
         STAA PORTD,X        on allume cet afficheur
* Le rang suivant, en revenant au premier après le quatrième
         LSLA
         INC  RANG
         LDAB RANG
         CMPB #4
         BNE  GARDE
         CLR  RANG
         LDAA #%00000100
GARDE    STAA SELECT
* Tous les dixièmes de seconde, le compteur avance
         DEC  TEMPS
         BNE  BOUCLE
         LDAA #NB_TR
         STAA TEMPS
         BSR  AVANCE
         BRA  BOUCLE

* Ajoute 1 au compteur, chiffre par chiffre, en partant des unités
AVANCE   LDY  #CHIFFRES+3
AVANCE_1 INC  0,Y
         LDAA 0,Y
         CMPA #10
         BNE  AVANCE_2       pas de retenue : c'est fini
         CLR  0,Y            9 + 1 : on écrit 0 et on retient 1
         DEY
         CPY  #CHIFFRES
         BHS  AVANCE_1       après 9999 vient 0000
AVANCE_2 RTS

* Segments de 0 à 9 : bit 0 = a, bit 1 = b ... bit 6 = g
SEGMENTS FCB  $3F,$06,$5B,$4F,$66,$6D,$7D,$07,$7F,$6F

         ORG  $FFFE
         FDB  DEBUT
