;- Asm.pbi - low level stuff (timing, CPU info, fast math)
;
; Only works with the ASM backend! With the C backend (6.0+) the
; fallback procedures below are used.
;
; ----------------------------------------------------------------

EnableExplicit

;- Imports
CompilerIf #PB_Compiler_OS = #PB_OS_Windows
  CompilerIf #PB_Compiler_Processor = #PB_Processor_x86
    Import "kernel32.lib"
      Asm_GetTickCount.l() As "_GetTickCount@0"
      Asm_QueryPerformanceCounter.l(*Count) As "_QueryPerformanceCounter@4"
      Asm_QueryPerformanceFrequency.l(*Freq) As "_QueryPerformanceFrequency@4"
      Asm_Sleep(ms.l) As "_Sleep@4"
    EndImport
  CompilerElse
    Import "kernel32.lib"
      Asm_GetTickCount.l() As "GetTickCount"
      Asm_QueryPerformanceCounter.l(*Count) As "QueryPerformanceCounter"
      Asm_QueryPerformanceFrequency.l(*Freq) As "QueryPerformanceFrequency"
      Asm_Sleep(ms.l) As "Sleep"
    EndImport
  CompilerEndIf
CompilerElse
  ImportC "-lm"
    Asm_cbrt.d(x.d) As "cbrt"
    Asm_hypot.d(x.d, y.d) As "hypot"
  EndImport
CompilerEndIf

CompilerIf #PB_Compiler_Backend = #PB_Backend_Asm

; Reads the CPU time stamp counter (not reliable on old multi core AMDs!)
Procedure.q Asm_ReadTSC()
  Protected Result.q
  CompilerIf #PB_Compiler_Processor = #PB_Processor_x64
    !	rdtsc                        ; edx:eax = TSC
    !	shl   rdx, 32
    !	or    rax, rdx
    !	mov   [p.v_Result], rax      ; store in the local
  CompilerElse
    !	rdtsc
    !	mov   [p.v_Result], eax      ; low dword
    !	mov   [p.v_Result + 4], edx  ; high dword
  CompilerEndIf
  ProcedureReturn Result
EndProcedure

; Returns "GenuineIntel", "AuthenticAMD", ...
Procedure.s Asm_CPUVendor()
  Protected Vendor.s{12}
  Protected *p = @Vendor

  EnableASM
  MOV eax, *p
  DisableASM

  CompilerIf #PB_Compiler_Processor = #PB_Processor_x64
    !  push  rbx                    ; rbx is non-volatile
    !  mov   r8, [p.p_p]
    !  xor   eax, eax               ; leaf 0 = vendor
    !  cpuid
    !  mov   [r8], ebx
    !  mov   [r8 + 4], edx
    !  mov   [r8 + 8], ecx
    !  pop   rbx
  CompilerElse
    !  push  ebx
    !  push  edi
    !  mov   edi, [p.p_p]
    !  xor   eax, eax
    !  cpuid
    !  mov   [edi], ebx
    !  mov   [edi + 4], edx
    !  mov   [edi + 8], ecx
    !  pop   edi
    !  pop   ebx
  CompilerEndIf

  ProcedureReturn PeekS(*p, 12, #PB_Ascii)
EndProcedure

; Count the set bits (popcnt needs SSE4.2, we check that elsewhere... hopefully)
Procedure Asm_PopCount(Value.l)
  EnableASM
  MOV eax, Value
  ! 	popcnt eax, eax    ; count bits
  DisableASM
  ProcedureReturn
EndProcedure

; Checks for the "RIFF" magic at *mem
Procedure Asm_IsRiff(*mem)
  Protected Ok.l
  CompilerIf #PB_Compiler_Processor = #PB_Processor_x64
    !	mov   rax, [p.p_mem]
  CompilerElse
    !	mov   eax, [p.p_mem]
  CompilerEndIf
  !	cmp   dword [eax], 'RIFF'     ; fasm char constant, little endian
  !	jne   @f
  !	mov   dword [p.v_Ok], 1
  !@@:
  ProcedureReturn Ok
EndProcedure

CompilerElse
  ;- Fallbacks for the C backend
  Procedure.q Asm_ReadTSC()
    ProcedureReturn ElapsedMilliseconds()
  EndProcedure

  Procedure.s Asm_CPUVendor()
    ProcedureReturn "unknown"
  EndProcedure

  Procedure Asm_PopCount(Value.l)
    Protected n, i
    For i = 0 To 31
      If Value & (1 << i) : n + 1 : EndIf
    Next
    ProcedureReturn n
  EndProcedure

  Procedure Asm_IsRiff(*mem)
    ProcedureReturn Bool(PeekS(*mem, 4, #PB_Ascii) = "RIFF")
  EndProcedure
CompilerEndIf

; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 96
; FirstLine = 60
; Folding = ---
; EnableXP
; EnableAsm
