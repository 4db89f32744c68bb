// The name of the inline namespace that holds every part of the UTF
// conversions which the compiler may build differently with the includer's
// instruction-set options (-mavx2, -march=native, ...): the templates and
// inline functions of utf::convert_buffer, its vector kernels, and the
// detected vector level.
//
// Those are inline entities with external linkage: every file that uses
// them emits its own copy, and the linker keeps one for the whole program.
// Had a file built with -mavx2 the same names as a baseline file, its copy
// (AVX code) could be the one that the baseline file runs, and a CPU
// without AVX would stop on an illegal instruction. The name below spells
// out, one digit per instruction set, which sets the includer's compiler
// may use; files built with different sets use different entities, and
// what a file runs is always what it was compiled for. Files built with
// the same sets share one copy, as before.
//
// Nothing of this is exported by the libraries; user code names the
// entities as before (utf::convert_buffer, utf::detail::...), the inline
// namespace being transparent to name lookup.
#ifndef TOVRIC_VELARN_DETAIL_ISA_NAMESPACE_HPP
#define TOVRIC_VELARN_DETAIL_ISA_NAMESPACE_HPP

// One digit per instruction set: 1 where the compiler may use it here.
#if defined(__SSE3__)
#define TOVRIC_VELARN_ISA_SSE3 1
#else
#define TOVRIC_VELARN_ISA_SSE3 0
#endif
#if defined(__SSSE3__)
#define TOVRIC_VELARN_ISA_SSSE3 1
#else
#define TOVRIC_VELARN_ISA_SSSE3 0
#endif
#if defined(__SSE4_1__)
#define TOVRIC_VELARN_ISA_SSE4_1 1
#else
#define TOVRIC_VELARN_ISA_SSE4_1 0
#endif
#if defined(__SSE4_2__)
#define TOVRIC_VELARN_ISA_SSE4_2 1
#else
#define TOVRIC_VELARN_ISA_SSE4_2 0
#endif
#if defined(__SSE4A__)
#define TOVRIC_VELARN_ISA_SSE4A 1
#else
#define TOVRIC_VELARN_ISA_SSE4A 0
#endif
#if defined(__POPCNT__)
#define TOVRIC_VELARN_ISA_POPCNT 1
#else
#define TOVRIC_VELARN_ISA_POPCNT 0
#endif
#if defined(__LZCNT__)
#define TOVRIC_VELARN_ISA_LZCNT 1
#else
#define TOVRIC_VELARN_ISA_LZCNT 0
#endif
#if defined(__BMI__)
#define TOVRIC_VELARN_ISA_BMI 1
#else
#define TOVRIC_VELARN_ISA_BMI 0
#endif
#if defined(__BMI2__)
#define TOVRIC_VELARN_ISA_BMI2 1
#else
#define TOVRIC_VELARN_ISA_BMI2 0
#endif
#if defined(__TBM__)
#define TOVRIC_VELARN_ISA_TBM 1
#else
#define TOVRIC_VELARN_ISA_TBM 0
#endif
#if defined(__MOVBE__)
#define TOVRIC_VELARN_ISA_MOVBE 1
#else
#define TOVRIC_VELARN_ISA_MOVBE 0
#endif
#if defined(__ADX__)
#define TOVRIC_VELARN_ISA_ADX 1
#else
#define TOVRIC_VELARN_ISA_ADX 0
#endif
#if defined(__PCLMUL__)
#define TOVRIC_VELARN_ISA_PCLMUL 1
#else
#define TOVRIC_VELARN_ISA_PCLMUL 0
#endif
#if defined(__AES__)
#define TOVRIC_VELARN_ISA_AES 1
#else
#define TOVRIC_VELARN_ISA_AES 0
#endif
#if defined(__SHA__)
#define TOVRIC_VELARN_ISA_SHA 1
#else
#define TOVRIC_VELARN_ISA_SHA 0
#endif
#if defined(__GFNI__)
#define TOVRIC_VELARN_ISA_GFNI 1
#else
#define TOVRIC_VELARN_ISA_GFNI 0
#endif
#if defined(__VAES__)
#define TOVRIC_VELARN_ISA_VAES 1
#else
#define TOVRIC_VELARN_ISA_VAES 0
#endif
#if defined(__VPCLMULQDQ__)
#define TOVRIC_VELARN_ISA_VPCLMULQDQ 1
#else
#define TOVRIC_VELARN_ISA_VPCLMULQDQ 0
#endif
#if defined(__AVX__)
#define TOVRIC_VELARN_ISA_AVX 1
#else
#define TOVRIC_VELARN_ISA_AVX 0
#endif
#if defined(__F16C__)
#define TOVRIC_VELARN_ISA_F16C 1
#else
#define TOVRIC_VELARN_ISA_F16C 0
#endif
#if defined(__FMA__)
#define TOVRIC_VELARN_ISA_FMA 1
#else
#define TOVRIC_VELARN_ISA_FMA 0
#endif
#if defined(__FMA4__)
#define TOVRIC_VELARN_ISA_FMA4 1
#else
#define TOVRIC_VELARN_ISA_FMA4 0
#endif
#if defined(__XOP__)
#define TOVRIC_VELARN_ISA_XOP 1
#else
#define TOVRIC_VELARN_ISA_XOP 0
#endif
#if defined(__AVX2__)
#define TOVRIC_VELARN_ISA_AVX2 1
#else
#define TOVRIC_VELARN_ISA_AVX2 0
#endif
#if defined(__AVXVNNI__)
#define TOVRIC_VELARN_ISA_AVXVNNI 1
#else
#define TOVRIC_VELARN_ISA_AVXVNNI 0
#endif
#if defined(__AVX512F__)
#define TOVRIC_VELARN_ISA_AVX512F 1
#else
#define TOVRIC_VELARN_ISA_AVX512F 0
#endif
#if defined(__AVX512CD__)
#define TOVRIC_VELARN_ISA_AVX512CD 1
#else
#define TOVRIC_VELARN_ISA_AVX512CD 0
#endif
#if defined(__AVX512BW__)
#define TOVRIC_VELARN_ISA_AVX512BW 1
#else
#define TOVRIC_VELARN_ISA_AVX512BW 0
#endif
#if defined(__AVX512DQ__)
#define TOVRIC_VELARN_ISA_AVX512DQ 1
#else
#define TOVRIC_VELARN_ISA_AVX512DQ 0
#endif
#if defined(__AVX512VL__)
#define TOVRIC_VELARN_ISA_AVX512VL 1
#else
#define TOVRIC_VELARN_ISA_AVX512VL 0
#endif
#if defined(__AVX512IFMA__)
#define TOVRIC_VELARN_ISA_AVX512IFMA 1
#else
#define TOVRIC_VELARN_ISA_AVX512IFMA 0
#endif
#if defined(__AVX512VBMI__)
#define TOVRIC_VELARN_ISA_AVX512VBMI 1
#else
#define TOVRIC_VELARN_ISA_AVX512VBMI 0
#endif
#if defined(__AVX512VBMI2__)
#define TOVRIC_VELARN_ISA_AVX512VBMI2 1
#else
#define TOVRIC_VELARN_ISA_AVX512VBMI2 0
#endif
#if defined(__AVX512VNNI__)
#define TOVRIC_VELARN_ISA_AVX512VNNI 1
#else
#define TOVRIC_VELARN_ISA_AVX512VNNI 0
#endif
#if defined(__AVX512BITALG__)
#define TOVRIC_VELARN_ISA_AVX512BITALG 1
#else
#define TOVRIC_VELARN_ISA_AVX512BITALG 0
#endif
#if defined(__AVX512VPOPCNTDQ__)
#define TOVRIC_VELARN_ISA_AVX512VPOPCNTDQ 1
#else
#define TOVRIC_VELARN_ISA_AVX512VPOPCNTDQ 0
#endif
#if defined(__AVX512BF16__)
#define TOVRIC_VELARN_ISA_AVX512BF16 1
#else
#define TOVRIC_VELARN_ISA_AVX512BF16 0
#endif
#if defined(__AVX512FP16__)
#define TOVRIC_VELARN_ISA_AVX512FP16 1
#else
#define TOVRIC_VELARN_ISA_AVX512FP16 0
#endif
#if defined(__AVX10_1__)
#define TOVRIC_VELARN_ISA_AVX10_1 1
#else
#define TOVRIC_VELARN_ISA_AVX10_1 0
#endif
#if defined(__APX_F__)
#define TOVRIC_VELARN_ISA_APX_F 1
#else
#define TOVRIC_VELARN_ISA_APX_F 0
#endif
#if defined(__ARM_NEON)
#define TOVRIC_VELARN_ISA_ARM_NEON 1
#else
#define TOVRIC_VELARN_ISA_ARM_NEON 0
#endif
#if defined(__ARM_FEATURE_SVE)
#define TOVRIC_VELARN_ISA_ARM_SVE 1
#else
#define TOVRIC_VELARN_ISA_ARM_SVE 0
#endif
#if defined(__ARM_FEATURE_SVE2)
#define TOVRIC_VELARN_ISA_ARM_SVE2 1
#else
#define TOVRIC_VELARN_ISA_ARM_SVE2 0
#endif

// isa_ followed by the digits, in the order above. The digits are macros
// expanded as arguments of the outer macro before the inner one pastes them.
#define TOVRIC_VELARN_ISA_PASTE( \
    d0, d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, \
    d15, d16, d17, d18, d19, d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, \
    d30, d31, d32, d33, d34, d35, d36, d37, d38, d39, d40, d41, d42) \
  isa_ \
  ##d0##d1##d2##d3##d4##d5##d6##d7##d8##d9##d10##d11##d12##d13##d14 \
  ##d15##d16##d17##d18##d19##d20##d21##d22##d23##d24##d25##d26##d27##d28##d29 \
  ##d30##d31##d32##d33##d34##d35##d36##d37##d38##d39##d40##d41##d42
#define TOVRIC_VELARN_ISA_EXPAND(...) TOVRIC_VELARN_ISA_PASTE(__VA_ARGS__)
#define TOVRIC_VELARN_ISA_NAMESPACE \
  TOVRIC_VELARN_ISA_EXPAND( \
      TOVRIC_VELARN_ISA_SSE3, TOVRIC_VELARN_ISA_SSSE3, TOVRIC_VELARN_ISA_SSE4_1, TOVRIC_VELARN_ISA_SSE4_2, \
      TOVRIC_VELARN_ISA_SSE4A, TOVRIC_VELARN_ISA_POPCNT, TOVRIC_VELARN_ISA_LZCNT, TOVRIC_VELARN_ISA_BMI, \
      TOVRIC_VELARN_ISA_BMI2, TOVRIC_VELARN_ISA_TBM, TOVRIC_VELARN_ISA_MOVBE, TOVRIC_VELARN_ISA_ADX, \
      TOVRIC_VELARN_ISA_PCLMUL, TOVRIC_VELARN_ISA_AES, TOVRIC_VELARN_ISA_SHA, TOVRIC_VELARN_ISA_GFNI, \
      TOVRIC_VELARN_ISA_VAES, TOVRIC_VELARN_ISA_VPCLMULQDQ, TOVRIC_VELARN_ISA_AVX, TOVRIC_VELARN_ISA_F16C, \
      TOVRIC_VELARN_ISA_FMA, TOVRIC_VELARN_ISA_FMA4, TOVRIC_VELARN_ISA_XOP, TOVRIC_VELARN_ISA_AVX2, \
      TOVRIC_VELARN_ISA_AVXVNNI, TOVRIC_VELARN_ISA_AVX512F, TOVRIC_VELARN_ISA_AVX512CD, TOVRIC_VELARN_ISA_AVX512BW, \
      TOVRIC_VELARN_ISA_AVX512DQ, TOVRIC_VELARN_ISA_AVX512VL, TOVRIC_VELARN_ISA_AVX512IFMA, TOVRIC_VELARN_ISA_AVX512VBMI, \
      TOVRIC_VELARN_ISA_AVX512VBMI2, TOVRIC_VELARN_ISA_AVX512VNNI, TOVRIC_VELARN_ISA_AVX512BITALG, TOVRIC_VELARN_ISA_AVX512VPOPCNTDQ, \
      TOVRIC_VELARN_ISA_AVX512BF16, TOVRIC_VELARN_ISA_AVX512FP16, TOVRIC_VELARN_ISA_AVX10_1, TOVRIC_VELARN_ISA_APX_F, \
      TOVRIC_VELARN_ISA_ARM_NEON, TOVRIC_VELARN_ISA_ARM_SVE, TOVRIC_VELARN_ISA_ARM_SVE2)

#endif
