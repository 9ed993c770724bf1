; Textos compartidos del ejemplo
#Titulo$ = "Programa de ejemplo" ; el título de la ventana
Global Mensaje$ = "Listo para traducir"
