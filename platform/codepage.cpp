#include "platform/codepage.h"

#include <cstdint>

namespace platform {
namespace {

// Code points of bytes 0x80..0x9F. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control of the
// same value, as the system's own conversion does, so every byte survives a
// round trip through UTF-8.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // Every code point of the table lies in the Basic Multilingual Plane.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char toCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D) {
    return static_cast<char>(cp);
  }
  if (cp < 0xA0) return '?';  // the other C1 controls have no byte
  for (unsigned i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    appendUtf8(out, (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char32_t{b});
  }
  return out;
}

namespace {

// Decodes the sequence at text[i] and moves i past it. Malformed input is
// taken in maximal subparts, the way the Unicode standard recommends: a lead
// byte with the continuation bytes that were valid so far is one bad
// sequence (false), and the byte that broke it is read again on its own.
// Overlong forms, surrogates and code points above U+10FFFF are caught by the
// narrowed range of the second byte, so they never decode.
bool decodeNext(std::string_view text, std::size_t& i, char32_t& cp) {
  const std::size_t n = text.size();
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    cp = lead;
    ++i;
    return true;
  }
  int trail = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first trail byte
  cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;  // overlong
    if (lead == 0xED) hi = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;  // overlong
    if (lead == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    ++i;  // stray continuation byte, C0, C1 or F5..FF
    return false;
  }
  std::size_t j = i + 1;
  for (int k = 0; k < trail; ++k, ++j) {
    if (j >= n) {
      i = j;
      return false;
    }
    const auto c = static_cast<unsigned char>(text[j]);
    if (c < lo || c > hi) {
      i = j;
      return false;
    }
    cp = (cp << 6) | (c & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  i = j;
  return true;
}

}  // namespace

std::string utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char32_t cp = 0;
  for (std::size_t i = 0; i < text.size();) out += decodeNext(text, i, cp) ? toCp1252(cp) : '?';
  return out;
}

bool isUtf8(std::string_view text) {
  char32_t cp = 0;
  for (std::size_t i = 0; i < text.size();)
    if (!decodeNext(text, i, cp)) return false;
  return true;
}

std::string replaceControls(std::string_view text, char replacement, TextForm form,
                            bool keepTabs) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == '\t' && keepTabs) {
      out += '\t';
    } else if (b < 0x20 || b == 0x7F) {
      out += replacement;
    } else if (form == TextForm::kUtf8 && b == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      out += replacement;  // U+0080..U+009F
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace platform
