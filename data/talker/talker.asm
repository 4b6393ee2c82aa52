* ==============================================================
*  talker.asm : le programme de dialogue de Kavrel
* ==============================================================
*  Chargé dans la RAM du 68HC11 par le chargeur du mode bootstrap,
*  il répond à Kavrel sur la liaison série pendant que le
*  programme de l'utilisateur est arrêté, et reprend la main à
*  chaque SWI (les points d'arrêt que Kavrel pose) et, si le
*  programme laisse la liaison série au dialogue, à chaque octet
*  reçu pendant qu'il tourne (« Arrêter »).
*
*  Assemblé deux fois au moment de la construction de Kavrel :
*  FAMILLE_A vaut 1 pour les 68HC11A (256 octets de RAM), 0 pour
*  les 68HC11E (512 octets de RAM). Kavrel lit dans la table des
*  symboles DEBUT et FIN (la RAM que le dialogue garde pour lui),
*  SAVSP et LIGNE (l'octet de la vitesse à remplacer).
*
*  Les commandes : un octet, puis six octets d'arguments
*  (adresse haute, adresse basse, puis trois ou quatre octets
*  selon la commande). Chaque réponse finit par un octet de
*  contrôle : l'opposé de la somme, modulo 256, de tous les
*  octets de l'échange (commande, arguments, données dans un sens
*  comme dans l'autre). Un octet faussé se voit donc toujours.
*
*    R adr n . . .       lit n octets (0 : 256) depuis adr
*    W adr n . . .  +n   écrit n octets à partir de adr
*    E adr d p t t       EEPROM : PPROG = p, d écrit à adr,
*                        PPROG = p+EPGM pendant t boucles de
*                        6 cycles E, puis PPROG = 0
*    G . . . . . .       reprend le programme (RTI)
*
*  Quand le programme s'arrête, le dialogue envoie : $A5, la
*  raison (S : SWI, I : octet reçu), SP (poids fort, poids
*  faible), l'octet de contrôle. Les registres du programme
*  restent où le SWI ou l'interruption les a empilés, de SP+1 à
*  SP+9 : CCR, B, A, X, Y, PC.
*
*  Pas de break, ni de tirage sur IRQ ou XIRQ : le dialogue
*  interroge la liaison série, le bit I reste levé tant qu'il a
*  la main.
* --------------------------------------------------------------

REGS     EQU  $1000
BAUD     EQU  $2B            vitesse de la liaison
SCCR2    EQU  $2D            émetteur, récepteur, interruptions
SCSR     EQU  $2E            état de la liaison
SCDR     EQU  $2F            donnée reçue ou à envoyer
PPROG    EQU  $3B            programmation de l'EEPROM

TDRE     EQU  %10000000      registre d'émission vide
TC       EQU  %01000000      émission terminée
RDRF     EQU  %00100000      un caractère est arrivé
RIE      EQU  %00100000      interruption à la réception

MARQUE   EQU  $A5            début d'un compte rendu d'arrêt

         IF   FAMILLE_A
DEBUT    EQU  $000D          la fin tombe juste avant $00C4
         ELSE
DEBUT    EQU  $0100          au-dessus des pseudo-vecteurs
PILE     EQU  $01FF          la pile du programme, au départ
         ENDIF

* Le chargeur saute en $0000 : la vitesse, puis le dialogue.
* Ces octets sont ensuite libres pour le programme.
         ORG  $0000
         LDAA #$30           remplacé par Kavrel (BAUD)
LIGNE    EQU  *-1
         IF   FAMILLE_A
         BRA  DEPART         un octet de moins que JMP : le cadre suit
         ELSE
         JMP  DEPART
         ENDIF

         IF   FAMILLE_A
* Les registres du programme au départ, empilés comme par un SWI :
* CCR (S et X levés, I baissé pour qu'« Arrêter » marche), B, A,
* X, Y, PC. La pile du programme part juste en dessous de DEBUT.
         ORG  DEBUT-9
         FCB  $C0,0,0,0,0,0,0,0,0
         ENDIF

         ORG  DEBUT
         IF   FAMILLE_A
SAVSP    FDB  DEBUT-10       SP du programme arrêté
         ELSE
SAVSP    RMB  2
         ENDIF
SOMME    FCB  0              somme des octets de l'échange
ARGS     RMB  6              arguments de la commande
         RMB  4              la pile du dialogue...
PILED    EQU  *-1            ...de son sommet vers le bas

* La vitesse ne change qu'une fois parti l'écho du dernier octet.
DEPART   LDY  #REGS
ATTEND   BRCLR SCSR,Y,TC,ATTEND
         STAA BAUD,Y
         IF   FAMILLE_A==0
         LDS  #PILE
         LDX  #0
         PSHX                PC
         PSHX                Y
         PSHX                X
         PSHX                A et B
         LDAA #$C0
         PSHA                CCR : S et X levés, I baissé
         STS  SAVSP
         ENDIF

* Une commande et ses six arguments. Le dialogue a sa propre pile :
* ce qu'il écrit, même sous SP, ne touche jamais à ses adresses de
* retour.
BOUCLE   LDS  #PILED
         BSR  LIRE
         PSHA
         LDX  #ARGS
         LDAB #6
ARG      BSR  LIRE
         STAA 0,X
         INX
         DECB
         BNE  ARG
         PULA
         LDX  ARGS           l'adresse
         LDAB ARGS+2         le nombre d'octets, ou la donnée
         CMPA #'R'
         BEQ  LECTURE
         CMPA #'W'
         BEQ  ECRIT
         CMPA #'E'
         BEQ  EEPROM
         CMPA #'G'
         BNE  BOUCLE         commande inconnue : pas de réponse

* G : l'accord, puis le programme reprend, la réception de la
* liaison série pouvant l'interrompre.
         BSR  CONTROLE
         BSET SCCR2,Y,RIE
         LDS  SAVSP
         RTI

* L'octet de contrôle : l'opposé de la somme, qui revient à zéro.
CONTROLE LDAA SOMME
         NEGA
EMET     BRCLR SCSR,Y,TDRE,EMET
         STAA SCDR,Y
         BRA  COMPTE
LIRE     BRCLR SCSR,Y,RDRF,LIRE
         LDAA SCDR,Y
COMPTE   PSHA
         ADDA SOMME
         STAA SOMME
         PULA
         RTS

LECTURE  LDAA 0,X
         BSR  EMET
         INX
         DECB
         BNE  LECTURE
         BRA  FINCMD

ECRIT    BSR  LIRE
         STAA 0,X
         INX
         DECB
         BNE  ECRIT
         BRA  FINCMD

* L'EEPROM : verrou (EELAT) et mode, la donnée à son adresse,
* puis la tension (EPGM) le temps que Kavrel a compté pour le
* quartz de la carte.
EEPROM   LDAA ARGS+3
         STAA PPROG,Y
         STAB 0,X
         INCA
         STAA PPROG,Y
         LDX  ARGS+4
DELAI    DEX
         BNE  DELAI
         CLR  PPROG,Y
FINCMD   BSR  CONTROLE
         BRA  BOUCLE

* Arrêts : SWI, ou un octet reçu pendant que le programme tourne.
SWI      LDAB #'S'
         BRA  ARRET
SCI      LDAB #'I'
ARRET    STS  SAVSP
         LDS  #PILED
         LDY  #REGS
         LDAA SCSR,Y
         LDAA SCDR,Y         l'octet reçu n'est plus attendu
         LDAA #MARQUE
         BSR  EMET
         TBA
         BSR  EMET
         LDAA SAVSP
         BSR  EMET
         LDAA SAVSP+1
         BSR  EMET
         BRA  FINCMD

FIN      EQU  *-1

         IF   FAMILLE_A
         IF   *>$00C4
         FCB  0              le dialogue déborde sur les pseudo-vecteurs
         ORG  $FFFF
         FCB  0
         ENDIF
         ENDIF

* Les pseudo-vecteurs du mode bootstrap, en RAM.
         ORG  $00C4
         JMP  SCI            interruption de la liaison série
         ORG  $00F4
         JMP  SWI            instruction SWI
