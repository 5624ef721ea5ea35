/* Help contexts of TransClepsaItaca: the numbers the program asks HTML Help for with F1.
   ITACA.hhp includes this file in its [MAP] section and gives each name its page in [ALIAS].
   One #define per line and comments on lines of their own: the help compiler takes the rest
   of a #define line as the number. */

/* The main window, its language box, the "F1 Ayuda" button and the dialogs. */
#define IDH_VENTANA_PRINCIPAL 1

/* The two direction panels and their "OK" buttons. */
#define IDH_TRANSFORMAR 3

/* The preview question and the preview. */
#define IDH_VISTA_PREVIA 10

/* "Proceso finalizado" and the report window. */
#define IDH_INFORME 11

/* The backups window and undo. */
#define IDH_COPIAS 13
