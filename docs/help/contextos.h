/* Help contexts of TransClepsaItaca: the numbers the program asks for with F1. */
#define IDH_VENTANA_PRINCIPAL 1  /* main window, language, "F1 Ayuda", the dialogs */
#define IDH_TRANSFORMAR 3        /* the two direction panels and their "OK" buttons */
