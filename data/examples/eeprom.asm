* ==============================================================
*  eeprom.asm : écrire dans l'EEPROM, puis la relire
*  Carte : circuit seul
* ==============================================================
*  L'EEPROM du E9 (512 octets en $B600) garde ses données hors
*  tension. On n'y écrit pas comme en RAM : chaque octet est
*  d'abord effacé (il passe à $FF), puis programmé, par le
*  registre PPROG, et chaque opération dure 10 ms.
*
*  Le programme y range un message, puis le relit et l'envoie
*  sur la liaison série (9600 bauds) : il apparaît dans le
*  terminal.
*
*  BPROT protège l'EEPROM au démarrage ; on ne peut lever cette
*  protection que dans les 64 premiers cycles après le reset :
*  c'est la toute première instruction.
* --------------------------------------------------------------

REGS     EQU  $1000
BAUD     EQU  $2B
SCCR2    EQU  $2D
SCSR     EQU  $2E
SCDR     EQU  $2F
BPROT    EQU  $35
PPROG    EQU  $3B
TDRE     EQU  %10000000

* Les bits de PPROG
BYTE     EQU  %00010000      un seul octet (et non toute l'EEPROM)
ERASE    EQU  %00000100      effacer plutôt que programmer
EELAT    EQU  %00000010      l'EEPROM est en écriture
EPGM     EQU  %00000001      la tension de programmation

ZONE     EQU  $B600          où le message est rangé

         ORG  $D000
DEBUT    CLR  REGS+BPROT     lève la protection, tout de suite
         LDS  #$01FF
         LDX  #REGS
         LDAA #$30           9600 bauds
         STAA BAUD,X
         LDAA #%00001000     TE : l'émetteur seul
         STAA SCCR2,X

* Copie du message dans l'EEPROM, octet nul compris
         LDY  #ZONE
         LDX  #MESSAGE
COPIE    LDAA 0,X
         BSR  ECRIT
         TST  0,X
         BEQ  RELIT
         INX
         INY
         BRA  COPIE

* Relecture de l'EEPROM, envoyée sur la liaison série
RELIT    LDX  #REGS
         LDY  #ZONE
LECTURE  LDAA 0,Y
         BEQ  FINI
ATTEND   BRCLR SCSR,X,TDRE,ATTEND
         STAA SCDR,X
         INY
         BRA  LECTURE
FINI     BRA  FINI

* Écrit A dans l'EEPROM à l'adresse Y : effacement, puis programmation
ECRIT    LDAB #BYTE+ERASE+EELAT
         STAB REGS+PPROG     1. effacer un octet :
         STAA 0,Y            l'écriture choisit l'adresse
         LDAB #BYTE+ERASE+EELAT+EPGM
         STAB REGS+PPROG     on met la tension...
         BSR  ATTENTE        ...pendant 10 ms
         CLR  REGS+PPROG     puis on la coupe
         LDAB #EELAT
         STAB REGS+PPROG     2. programmer l'octet :
         STAA 0,Y            l'écriture donne l'adresse et la valeur
         LDAB #EELAT+EPGM
         STAB REGS+PPROG
         BSR  ATTENTE
         CLR  REGS+PPROG     l'EEPROM se relit comme de la mémoire
         RTS

* Un peu plus de 10 ms à 2 MHz : 3000 tours de 7 cycles
ATTENTE  PSHY
         LDY  #3000
ATTENTE1 DEY
         BNE  ATTENTE1
         PULY
         RTS

MESSAGE  FCC  "Lu dans l'EEPROM : BONJOUR"
         FCB  $0D,$0A,0

         ORG  $FFFE
         FDB  DEBUT
