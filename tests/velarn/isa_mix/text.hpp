// The text that both files of the mixed-ISA program convert: blocks of
// ASCII, of two- and three-byte units, of four-byte units and of invalid
// units, so that every block path of the conversion runs, and a tail
// shorter than a block.
#ifndef TOVRIC_TESTS_VELARN_ISA_MIX_TEXT_HPP
#define TOVRIC_TESTS_VELARN_ISA_MIX_TEXT_HPP

#include <cstddef>

namespace isa_mix {

constexpr std::size_t text_units = 16 * 5 + 7;
constexpr std::size_t text_bytes = 4 * text_units + 1;

inline void make_text(wchar_t (&units)[text_units]) {
  for (unsigned k = 0; k < text_units; ++k) {
    const unsigned block = k / 16;
    const unsigned values[] = {0x41u + k % 26, 0x80u + 37 * k, 0x4E00u + 97 * k, 0x1F600u + k, 0xD800u + k,
                               0x61u};
    units[k] = static_cast<wchar_t>(values[block]);
  }
}

// Converts the text with utf::convert_buffer as compiled in the file that
// defines it; returns the number of bytes before the terminator, or -1.
int convert_baseline(char (&out)[text_bytes]);
int convert_avx2(char (&out)[text_bytes]);

}  // namespace isa_mix

#endif
