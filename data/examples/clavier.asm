* ==============================================================
*  clavier.asm : les touches du clavier écrites sur le LCD
*  Carte : carte de TP (clavier 4 x 4, LCD 2 x 16 sur le bus)
* ==============================================================
*  Le clavier est une matrice : 4 colonnes sur PD2 à PD5 (des
*  sorties), 4 lignes sur PE0 à PE3 (des entrées, tirées à 1).
*  On met une seule colonne à 0 à la fois et on lit les lignes :
*  une ligne à 0 dit qu'une touche de cette colonne est appuyée.
*
*  Un contact rebondit pendant quelques millisecondes : on relit
*  la touche 10 ms plus tard et on ne la prend que si c'est la
*  même. Puis on attend qu'elle soit relâchée.
* --------------------------------------------------------------

REGS     EQU  $1000
PORTD    EQU  $08
DDRD     EQU  $09
PORTE    EQU  $0A
LCD_I    EQU  $B5F0          instructions et drapeau BUSY
LCD_D    EQU  $B5F1          données

NOMBRE   EQU  $0000          caractères déjà écrits sur le LCD

         ORG  $2000
DEBUT    LDS  #$01FF
         LDX  #REGS
         LDAA #%00111100     PD2 à PD5 en sortie : les colonnes
         STAA DDRD,X
         LDAA #$38           LCD : 8 bits, 2 lignes
         BSR  COMMANDE
         LDAA #$0F           allumé, curseur clignotant
         BSR  COMMANDE
         LDAA #$06           le curseur avance vers la droite
         BSR  COMMANDE
         LDAA #$01           efface l'écran
         BSR  COMMANDE
         CLR  NOMBRE

BOUCLE   BSR  LIRE           une touche ?
         TSTA
         BEQ  BOUCLE
         PSHA                on la garde de côté
         BSR  PAUSE          10 ms : les rebonds sont passés
         BSR  LIRE
         PULB
         CBA                 toujours la même touche ?
         BNE  BOUCLE         non : c'était un rebond
         BSR  ECRIRE         oui : on l'écrit
RELACHE  BSR  LIRE           attend que la touche soit relâchée
         TSTA
         BNE  RELACHE
         BSR  PAUSE          et laisse passer les rebonds
         BRA  BOUCLE

* Balaye le clavier : A = le caractère de la touche appuyée, ou 0
LIRE     CLRB                B = numéro de colonne, de 0 à 3
         LDAA #%11111011     la colonne 0 (PD2) à 0, les autres à 1
COLONNE  STAA PORTD,X
         PSHA
         LDAA PORTE,X        les lignes sur PE0 à PE3
         ANDA #$0F
         CMPA #$0F           toutes à 1 : rien dans cette colonne
         BNE  TROUVE
         PULA
         SEC                 la colonne suivante : on décale le 0
         ROLA                vers la gauche en faisant entrer un 1
         INCB
         CMPB #4
         BNE  COLONNE
         CLRA                aucune touche
         RTS
TROUVE   INS                 oublie la colonne empilée
* Numéro de la touche = 4 x ligne + colonne : on ajoute 4 tant
* que la ligne lue n'est pas celle qui est à 0.
LIGNE    LSRA
         BCC  TABLE
         ADDB #4
         BRA  LIGNE
TABLE    LDY  #TOUCHES
         ABY
         LDAA 0,Y            le caractère de la touche
         RTS

* Écrit le caractère de A ; au bout de 16 caractères on passe à
* la ligne du bas, au bout de 32 on efface tout.
ECRIRE   BSR  DONNEE
         INC  NOMBRE
         LDAA NOMBRE
         CMPA #16
         BNE  ECRIT_1
         LDAA #$C0           début de la deuxième ligne
         BRA  COMMANDE
ECRIT_1  CMPA #32
         BNE  ECRIT_2
         CLR  NOMBRE
         LDAA #$01           écran plein : on l'efface
         BRA  COMMANDE
ECRIT_2  RTS

* Attente d'un peu plus de 10 ms : 2900 tours de 7 cycles
PAUSE    LDY  #2900
PAUSE_1  DEY
         BNE  PAUSE_1
         RTS

COMMANDE LDAB LCD_I          attend que BUSY (bit 7) retombe
         BMI  COMMANDE
         STAA LCD_I
         RTS

DONNEE   LDAB LCD_I
         BMI  DONNEE
         STAA LCD_D
         RTS

* Les touches, ligne par ligne, dans l'ordre du clavier
TOUCHES  FCC  "123A"
         FCC  "456B"
         FCC  "789C"
         FCC  "*0#D"

         ORG  $FFFE
         FDB  DEBUT
