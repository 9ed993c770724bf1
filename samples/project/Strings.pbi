; Texts shared by the sample project
#Title$ = "Sample Project"  ; window title
Global Message$ = "Ready to translate"
