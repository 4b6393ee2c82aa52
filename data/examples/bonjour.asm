* ==============================================================
*  bonjour.asm : « BONJOUR » sur l'afficheur LCD
*  Carte : carte de TP (LCD 2 x 16 sur le bus)
* ==============================================================
*  L'afficheur est vu comme deux cases mémoire :
*    $B5F0 : les instructions (en écriture) et, en lecture, le
*            drapeau BUSY (bit 7) ;
*    $B5F1 : les caractères à afficher.
*  Tant que BUSY vaut 1, l'afficheur travaille encore et ne doit
*  rien recevoir : on attend toujours qu'il retombe avant
*  d'écrire.
* --------------------------------------------------------------

LCD_I    EQU  $B5F0          instructions et drapeau BUSY
LCD_D    EQU  $B5F1          données

         ORG  $2000          le programme dans la RAM de la carte
DEBUT    LDS  #$01FF
* Initialisation de l'afficheur
         LDAA #$38           bus de 8 bits, 2 lignes, caractères 5 x 8
         BSR  COMMANDE
         LDAA #$0C           afficheur allumé, sans curseur
         BSR  COMMANDE
         LDAA #$06           le curseur avance vers la droite
         BSR  COMMANDE
         LDAA #$01           efface l'écran, curseur en haut à gauche
         BSR  COMMANDE
* Le texte, caractère par caractère, jusqu'à l'octet nul
         LDX  #TEXTE
SUIVANT  LDAA 0,X
         BEQ  FINI
         BSR  DONNEE
         INX
         BRA  SUIVANT
FINI     BRA  FINI           c'est tout : le texte reste affiché

* Envoie l'instruction de A, quand l'afficheur est libre
COMMANDE LDAB LCD_I          BUSY est le bit 7 : négatif si occupé
         BMI  COMMANDE
         STAA LCD_I
         RTS

* Envoie le caractère de A, quand l'afficheur est libre
DONNEE   LDAB LCD_I
         BMI  DONNEE
         STAA LCD_D
         RTS

TEXTE    FCC  "BONJOUR"
         FCB  0              l'octet nul marque la fin

         ORG  $FFFE          vecteur de reset
         FDB  DEBUT
