// Differential fuzzing of the console input buffer, read through a
// std::istream, against a model of the buffer and the stream written from
// the rules.
//
// The input is a header byte, a script of device answers and a sequence of
// stream operations. Device answers: units (carriage returns, Ctrl-Z, zero,
// every UTF-8 length boundary, surrogates, values above 0x10FFFF, raw
// values), failed reads, empty reads, counts above the offered maximum and
// exceptions. Operations: get, get(char&), peek, getline into an array and
// into a string, read, putback, unget and sync. After every operation the
// value it returned, the bytes it extracted, its count and the stream's
// state must be those of the model; an exception from the device must reach
// the caller unchanged when the stream's exception mask asks for it, and
// must lose or repeat no byte either way.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tovric/velarn/console_buffer.hpp"

namespace {

// Aborts, naming the check, when a comparison fails.
void check_at(bool ok, int line) {
  if (ok) return;
  std::fprintf(stderr, "console_input_fuzz: check at line %d failed\n", line);
  std::abort();
}
#define check(ok) check_at((ok), __LINE__)

using traits = std::char_traits<char>;
constexpr int eof = traits::eof();
constexpr std::uint64_t device_capacity = 1024;

struct device_gone : std::runtime_error {
  device_gone() : std::runtime_error("device gone") {}
};

// Reads the fuzz input's bytes; past the end every byte is 0.
class byte_reader {
 public:
  byte_reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  std::uint8_t next() { return i_ < n_ ? p_[i_++] : 0; }
  std::uint32_t next32() {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= std::uint32_t{next()} << (8 * k);
    return v;
  }
  bool done() const { return i_ >= n_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t i_ = 0;
};

// ---- the device's answers -------------------------------------------------

struct answer {
  enum { units_read, failed, thrown } kind;
  std::vector<std::uint32_t> units;  // what the device stores
  std::uint64_t count;               // what it reports (may exceed the offer)
};

constexpr std::uint32_t interesting_units[] = {
    'a',    'b',      '\n',     '\r',     0x1A,      0,          ' ',        0x7F,
    0x80,   0x7FF,    0x800,    0xFFFF,   0x10000,   0x10FFFF,   0x110000,   0xD7FF,
    0xD800, 0xDBFF,   0xDC00,   0xDFFF,   0xE000,    0xE9,       0x20AC,     0x1F600,
    0xFFFD, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF};

std::vector<answer> parse_script(byte_reader script) {
  std::vector<answer> answers;
  while (!script.done()) {
    const std::uint8_t kind = script.next();
    switch (kind % 16) {
      case 10: answers.push_back({answer::failed, {}, 0}); break;
      case 11: answers.push_back({answer::units_read, {}, 0}); break;
      case 12: answers.push_back({answer::thrown, {}, 0}); break;
      case 13: {
        // A device that fills all it was offered and claims more.
        std::vector<std::uint32_t> units(device_capacity);
        const std::uint32_t u = interesting_units[script.next() % std::size(interesting_units)];
        for (std::size_t k = 0; k < units.size(); ++k) units[k] = k % 7 == 6 ? '\n' : u;
        answers.push_back({answer::units_read, units, device_capacity + 1 + script.next()});
        break;
      }
      default: {
        std::vector<std::uint32_t> units(script.next() % 32);
        for (std::uint32_t& u : units) {
          const std::uint8_t s = script.next();
          u = s % 4 == 0 ? script.next32() : interesting_units[s / 4 % std::size(interesting_units)];
        }
        answers.push_back({answer::units_read, units, units.size()});
      }
    }
  }
  return answers;
}

// ---- the buffer under test ------------------------------------------------

class scripted_console : public tovric::velarn::detail::console_input_buffer_base {
 public:
  explicit scripted_console(const std::vector<answer>& answers) : answers_(answers) {}
  std::size_t calls = 0;

 protected:
  bool device_read(wchar_t* units, std::uint64_t max, std::uint64_t& count) override {
    check(count == 0 && max == device_capacity);
    if (calls >= answers_.size()) {
      ++calls;
      return false;  // once the script is used up every read fails
    }
    const answer& a = answers_[calls++];
    if (a.kind == answer::thrown) throw device_gone();
    if (a.kind == answer::failed) return false;
    for (std::size_t k = 0; k < a.units.size(); ++k) units[k] = static_cast<wchar_t>(a.units[k]);
    count = a.count;
    return true;
  }

 private:
  const std::vector<answer>& answers_;
};

// ---- the model ------------------------------------------------------------

// RFC 3629, with every value that is not a Unicode scalar value encoded as
// U+FFFD.
void append_utf8(std::uint32_t u, std::string& out) {
  if ((u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) u = 0xFFFD;
  if (u <= 0x7F) {
    out += static_cast<char>(u);
  } else if (u <= 0x7FF) {
    out += static_cast<char>(0xC0 + u / 64);
    out += static_cast<char>(0x80 + u % 64);
  } else if (u <= 0xFFFF) {
    out += static_cast<char>(0xE0 + u / 4096);
    out += static_cast<char>(0x80 + u / 64 % 64);
    out += static_cast<char>(0x80 + u % 64);
  } else {
    out += static_cast<char>(0xF0 + u / 262144);
    out += static_cast<char>(0x80 + u / 4096 % 64);
    out += static_cast<char>(0x80 + u / 64 % 64);
    out += static_cast<char>(0x80 + u % 64);
  }
}

// The buffer as the reader sees it: the bytes of the current get area and
// the position in it. A device read replaces the area with the text of the
// read: every unit in UTF-8 except carriage returns, which are dropped; a
// read that begins a line and whose text begins with a Ctrl-Z ends the
// input instead, and its whole text is dropped. A read begins a line after a
// read whose text was empty or ended in a line feed, at the start and after
// sync. Bytes put back before the area's start are inserted in front of it.
class model_buffer {
 public:
  explicit model_buffer(const std::vector<answer>& answers) : answers_(answers) {}
  std::size_t calls = 0;

  int sgetc() {
    if (pos_ == area_.size() && !fill()) return eof;
    return traits::to_int_type(area_[pos_]);
  }
  int sbumpc() {
    const int c = sgetc();
    if (c != eof) ++pos_;
    return c;
  }
  int snextc() { return sbumpc() == eof ? eof : sgetc(); }
  int sputbackc(char c) {
    if (pos_ > 0) {
      area_[--pos_] = c;  // the same byte or another: either way it is c now
    } else {
      area_.insert(area_.begin(), c);
    }
    return traits::to_int_type(c);
  }
  int sungetc() { return pos_ > 0 ? traits::to_int_type(area_[--pos_]) : eof; }
  int pubsync() {
    line_start_ = true;
    area_.clear();
    pos_ = 0;
    return 0;
  }

 private:
  // A device read; false for end of input. An exception leaves all as it was.
  bool fill() {
    if (calls >= answers_.size()) {
      ++calls;
      return give(std::string());
    }
    const answer& a = answers_[calls];
    if (a.kind == answer::thrown) {
      ++calls;
      throw device_gone();
    }
    ++calls;
    if (a.kind == answer::failed) return give(std::string());
    std::string text;
    const std::size_t n = std::min<std::uint64_t>(a.count, device_capacity);
    for (std::size_t k = 0; k < n; ++k) {
      if (a.units[k] != '\r') append_utf8(a.units[k], text);
    }
    if (line_start_ && !text.empty() && text[0] == '\x1A') {
      pubsync();
      return false;
    }
    line_start_ = text.empty() || text.back() == '\n';
    return give(text);
  }
  bool give(std::string text) {
    area_.assign(text.begin(), text.end());
    pos_ = 0;
    return !area_.empty();
  }

  const std::vector<answer>& answers_;
  std::vector<char> area_;
  std::size_t pos_ = 0;
  bool line_start_ = true;
};

// What one stream operation did.
struct outcome {
  int value = 0;          // get(), peek(), sync()
  std::string extracted;  // bytes stored by get(char&), getline or read
  std::string array;      // the real stream's whole array for getline and read
  std::streamsize count = 0;
  std::ios_base::iostate state = std::ios_base::goodbit;
  bool device_threw = false;
  bool stream_threw = false;  // std::ios_base::failure under the mask
};

enum class op { get, get_char, peek, getline_array, getline_string, read, putback, unget, sync };
constexpr int op_count = 9;

struct request {
  op what;
  std::size_t size;  // getline's and read's array size
  char byte;         // putback's byte
};

constexpr auto bad = std::ios_base::badbit;
constexpr auto fail = std::ios_base::failbit;
constexpr auto at_end = std::ios_base::eofbit;

// The stream operations on the model, as a conforming std::istream performs
// them on a stream buffer, starting from a good stream.
outcome model_operation(model_buffer& b, const request& r, bool throws_on_bad) {
  outcome o;
  try {
    switch (r.what) {
      case op::get:
        o.value = b.sbumpc();
        if (o.value == eof) o.state = at_end | fail;
        o.count = o.value == eof ? 0 : 1;
        break;
      case op::get_char: {
        const int c = b.sbumpc();
        if (c == eof) {
          o.state = at_end | fail;
        } else {
          o.extracted = std::string(1, traits::to_char_type(c));
          o.count = 1;
        }
        break;
      }
      case op::peek:
        o.value = b.sgetc();
        if (o.value == eof) o.state = at_end;
        break;
      case op::getline_array:
      case op::getline_string: {
        const bool bounded = r.what == op::getline_array;
        int c = b.sgetc();
        while ((!bounded || o.extracted.size() + 1 < r.size) && c != eof && c != '\n') {
          o.extracted += traits::to_char_type(c);
          ++o.count;
          c = b.snextc();
        }
        if (c == eof) {
          o.state = at_end;
        } else if (c == '\n') {
          b.sbumpc();
          ++o.count;
        } else {
          o.state = fail;
        }
        if (o.count == 0) o.state |= fail;
        break;
      }
      case op::read:
        for (int c; o.extracted.size() < r.size && (c = b.sbumpc()) != eof;) {
          o.extracted += traits::to_char_type(c);
        }
        o.count = static_cast<std::streamsize>(o.extracted.size());
        if (o.extracted.size() < r.size) o.state = at_end | fail;
        break;
      case op::putback:
        if (b.sputbackc(r.byte) == eof) o.state = bad;
        break;
      case op::unget:
        if (b.sungetc() == eof) o.state = bad;
        break;
      case op::sync:
        o.value = b.pubsync() == -1 ? -1 : 0;
        break;
    }
  } catch (const device_gone&) {
    o.device_threw = true;
    o.state = bad;
  }
  o.stream_threw = !o.device_threw && throws_on_bad && (o.state & bad);
  return o;
}

// The same operation on the real stream.
outcome real_operation(std::istream& is, const request& r) {
  outcome o;
  std::vector<char> array(r.size + 1, '\x7F');
  std::string line;
  try {
    switch (r.what) {
      case op::get: o.value = is.get(); break;
      case op::get_char: {
        char c;
        if (is.get(c)) o.extracted = std::string(1, c);
        break;
      }
      case op::peek: o.value = is.peek(); break;
      case op::getline_array:
        is.getline(array.data(), static_cast<std::streamsize>(r.size));
        break;
      case op::getline_string: std::getline(is, line); break;
      case op::read: is.read(array.data(), static_cast<std::streamsize>(r.size)); break;
      case op::putback: is.putback(r.byte); break;
      case op::unget: is.unget(); break;
      case op::sync: o.value = is.sync(); break;
    }
  } catch (const device_gone&) {
    o.device_threw = true;
  } catch (const std::ios_base::failure&) {
    o.stream_threw = true;
  }
  o.state = is.rdstate();
  o.count = is.gcount();
  if (r.what == op::getline_array || r.what == op::read) o.array.assign(array.data(), r.size);
  if (r.what == op::read) o.extracted = o.array.substr(0, static_cast<std::size_t>(o.count));
  if (r.what == op::getline_string) o.extracted = line;
  return o;
}

// Under an exception the stream's other state bits and its count are the
// stream implementation's business: there, what the reader relies on is
// compared, the bytes that reached its array.
void compare(const request& r, const outcome& expected, const outcome& actual,
             bool throws_on_bad, std::streamsize previous_count) {
  if (expected.device_threw) {
    check(actual.device_threw == throws_on_bad);
    check(!actual.stream_threw);
    check(actual.state & bad);
    if (r.what == op::getline_array || r.what == op::read) {
      check(actual.array.compare(0, expected.extracted.size(), expected.extracted) == 0);
    } else if (r.what == op::get_char) {
      check(actual.extracted.empty());
    }
    return;
  }
  check(!actual.device_threw);
  check(actual.stream_threw == expected.stream_threw);
  check(actual.state == expected.state);
  if (expected.stream_threw) return;
  check(actual.value == expected.value);
  if (r.what == op::getline_array) {
    // The bytes stored, then the terminator in place of any delimiter.
    check(actual.array.compare(0, expected.extracted.size(), expected.extracted) == 0);
    check(r.size == 0 || actual.array[expected.extracted.size()] == '\0');
  } else {
    check(actual.extracted == expected.extracted);
  }
  // sync and std::getline leave the count of the operation before.
  const bool keeps_count = r.what == op::sync || r.what == op::getline_string;
  check(actual.count == (keeps_count ? previous_count : expected.count));
}

request parse_request(byte_reader& ops) {
  const std::uint8_t o = ops.next();
  request r{static_cast<op>(o % op_count), 0, 0};
  if (r.what == op::getline_array) r.size = ops.next() % 40;
  if (r.what == op::read) r.size = std::size_t{ops.next()} * 9 % 1200;
  if (r.what == op::putback) r.byte = static_cast<char>(ops.next());
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool throws_on_bad = data[0] & 1;
  const std::size_t script_bytes = std::min<std::size_t>(data[1], size - 2);
  const std::vector<answer> answers = parse_script(byte_reader(data + 2, script_bytes));
  byte_reader ops(data + 2 + script_bytes, size - 2 - script_bytes);

  scripted_console buffer(answers);
  std::istream is(&buffer);
  if (throws_on_bad) is.exceptions(std::ios_base::badbit);
  model_buffer model(answers);

  std::streamsize previous_count = 0;
  for (int n = 0; !ops.done() && n < 256; ++n) {
    const request r = parse_request(ops);
    const outcome expected = model_operation(model, r, throws_on_bad);
    const outcome actual = real_operation(is, r);
    compare(r, expected, actual, throws_on_bad, previous_count);
    check(buffer.calls == model.calls);
    previous_count = is.gcount();
    is.clear();
  }
  return 0;
}
