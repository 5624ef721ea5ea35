/* The fixture's only context. */
#define IDH_INICIO 5
