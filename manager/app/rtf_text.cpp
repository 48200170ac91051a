// The rich-text reader: one pass over the bytes with a stack of group
// states; text goes into the current paragraph's last run, or a new run
// when a switch changed since.
#include "manager/app/rtf_text.h"

#include <cstdint>
#include <cstdlib>

#include "platform/codepage.h"

namespace vz::manager {

namespace {

// Deepest group nesting kept; deeper groups are skipped whole.
constexpr size_t kMaxDepth = 256;

// The switches a group carries.
struct GroupState {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool skip = false;  // an ignored destination: no text from this group
  int ucSkip = 1;     // fallback characters after \uN
};

// Destinations whose contents are not document text.
bool ignoredDestination(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "fonttbl",
      "colortbl",
      "stylesheet",
      "info",
      "pict",
      "header",
      "headerl",
      "headerr",
      "headerf",
      "footer",
      "footerl",
      "footerr",
      "footerf",
      "object",
      "themedata",
      "listtable",
      "listoverridetable",
      "rsidtbl",
      "generator",
      "xmlnstbl",
      "datastore",
      "latentstyles",
      "fldinst",
      "filetbl",
      "revtbl",
      "footnote",
      "annotation",
      "bkmkstart",
      "bkmkend",
      "colorschememapping",
      "pgdsctbl",
      "mmathPr",
      "nonshppict",
      "objdata",
      "author",
      "operator",
      "title",
      "subject",
      "keywords",
      "comment",
      "doccomm",
      "company",
  };
  for (std::string_view w : kWords)
    if (word == w) return true;
  return false;
}

// Windows-1252's characters 0x80..0x9F (0: unassigned).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};


uint32_t cp1252(uint8_t b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : 0xFFFD;
  return b;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class Reader {
 public:
  explicit Reader(std::string_view data) : d_(data) {}

  std::vector<RtfParagraph> read() {
    stack_.push_back({});
    paragraphs_.emplace_back();
    while (i_ < d_.size()) {
      char c = d_[i_];
      if (c == '{') {
        ++i_;
        openGroup();
      } else if (c == '}') {
        ++i_;
        closeGroup();
      } else if (c == '\\') {
        ++i_;
        controlSymbolOrWord();
      } else {
        ++i_;
        if (c == '\r' || c == '\n') continue;
        groupStart_ = false;
        text(static_cast<uint8_t>(c));
      }
    }
    // A last paragraph without \par that holds nothing is not one.
    if (paragraphs_.size() > 1 && paragraphs_.back().runs.empty()) paragraphs_.pop_back();
    if (paragraphs_.size() == 1 && paragraphs_[0].runs.empty()) paragraphs_.clear();
    return std::move(paragraphs_);
  }

 private:
  GroupState& state() { return stack_.back(); }

  void openGroup() {
    if (stack_.size() >= kMaxDepth) {
      skipGroup();
      return;
    }
    stack_.push_back(stack_.back());
    groupStart_ = true;
  }
  void closeGroup() {
    if (stack_.size() > 1) stack_.pop_back();
    groupStart_ = false;
  }
  // Skips to the end of the group just opened (its "{" consumed).
  void skipGroup() {
    int depth = 1;
    while (i_ < d_.size() && depth > 0) {
      char c = d_[i_++];
      if (c == '\\')
        ++i_;  // an escaped brace is no brace
      else if (c == '{')
        ++depth;
      else if (c == '}')
        --depth;
    }
  }

  void controlSymbolOrWord() {
    if (i_ >= d_.size()) return;
    bool atGroupStart = groupStart_;
    groupStart_ = false;
    char c = d_[i_];
    if (!isLetter(c)) {
      ++i_;
      switch (c) {
        case '\\':
        case '{':
        case '}':
          text(static_cast<uint8_t>(c));
          break;
        case '~':
          unicode(0xA0);
          break;
        case '_':
          unicode(0x2011);
          break;
        case '-':
          break;  // optional hyphen
        case '*':
          if (atGroupStart) state().skip = true;
          break;
        case '\'': {
          int hi = i_ < d_.size() ? hexValue(d_[i_]) : -1;
          int lo = i_ + 1 < d_.size() ? hexValue(d_[i_ + 1]) : -1;
          if (hi >= 0 && lo >= 0) {
            i_ += 2;
            if (pendingSkip_ > 0)
              --pendingSkip_;
            else
              unicode(cp1252(static_cast<uint8_t>(hi * 16 + lo)));
          }
          break;
        }
        case '\r':
        case '\n':
          paragraph();
          break;  // "\" before a line break is \par
        default:
          break;
      }
      return;
    }
    size_t start = i_;
    while (i_ < d_.size() && isLetter(d_[i_]) && i_ - start < 32) ++i_;
    std::string_view word = d_.substr(start, i_ - start);
    bool hasNumber = false;
    long number = 0;
    size_t numStart = i_;
    if (i_ < d_.size() && (d_[i_] == '-' || isDigit(d_[i_]))) {
      ++i_;
      while (i_ < d_.size() && isDigit(d_[i_]) && i_ - numStart < 11) ++i_;
      std::string digits(d_.substr(numStart, i_ - numStart));
      number = std::strtol(digits.c_str(), nullptr, 10);
      hasNumber = digits != "-";
    }
    if (i_ < d_.size() && d_[i_] == ' ') ++i_;  // the delimiting blank belongs to the word
    if (atGroupStart && ignoredDestination(word)) {
      state().skip = true;
      return;
    }
    const bool on = !hasNumber || number != 0;
    GroupState& s = state();
    if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row")
      paragraph();
    else if (word == "tab" || word == "cell")
      unicode('\t');
    else if (word == "b")
      s.bold = on;
    else if (word == "i")
      s.italic = on;
    else if (word == "ul")
      s.underline = on;
    else if (word == "ulnone")
      s.underline = false;
    else if (word == "plain")
      s.bold = s.italic = s.underline = false;
    else if (word == "uc")
      s.ucSkip = hasNumber && number >= 0 && number < 16 ? static_cast<int>(number) : 1;
    else if (word == "u" && hasNumber) {
      long v = number < 0 ? number + 65536 : number;
      unicodeUnit(static_cast<uint32_t>(v & 0xFFFF));
      pendingSkip_ = s.ucSkip;
    } else if (word == "emdash")
      unicode(0x2014);
    else if (word == "endash")
      unicode(0x2013);
    else if (word == "bullet")
      unicode(0x2022);
    else if (word == "lquote")
      unicode(0x2018);
    else if (word == "rquote")
      unicode(0x2019);
    else if (word == "ldblquote")
      unicode(0x201C);
    else if (word == "rdblquote")
      unicode(0x201D);
    else if (word == "bin" && hasNumber && number > 0) {
      // Binary data: never text.
      i_ += std::min<size_t>(static_cast<size_t>(number), d_.size() - i_);
    }
  }

  // One plain byte of text (the fallback of a \u is skipped).
  void text(uint8_t b) {
    if (pendingSkip_ > 0) {
      --pendingSkip_;
      return;
    }
    unicode(cp1252(b));
  }

  // A UTF-16 unit from \u: surrogate pairs are joined.
  void unicodeUnit(uint32_t unit) {
    if (unit >= 0xD800 && unit < 0xDC00) {
      highSurrogate_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
      if (highSurrogate_) unicode(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
      highSurrogate_ = 0;
      return;
    }
    unicode(unit);
  }

  void unicode(uint32_t cp) {
    highSurrogate_ = 0;
    const GroupState& s = state();
    if (s.skip) return;
    std::vector<RtfRun>& runs = paragraphs_.back().runs;
    if (runs.empty() || runs.back().bold != s.bold || runs.back().italic != s.italic ||
        runs.back().underline != s.underline)
      runs.push_back({{}, s.bold, s.italic, s.underline});
    appendUtf8(runs.back().text, cp);
  }

  void paragraph() {
    if (state().skip) return;
    pendingSkip_ = 0;
    paragraphs_.emplace_back();
  }

  std::string_view d_;                    // the document
  size_t i_ = 0;                          // next byte to read
  std::vector<GroupState> stack_;         // one state per open group
  std::vector<RtfParagraph> paragraphs_;  // read so far; the last one is open
  bool groupStart_ = false;               // the last thing read was "{"
  int pendingSkip_ = 0;                   // fallback characters still to skip after \u
  uint32_t highSurrogate_ = 0;            // the first half of a surrogate pair, 0 none
};

}  // namespace

std::string RtfParagraph::plainText() const {
  std::string out;
  for (const RtfRun& r : runs) out += r.text;
  return out;
}

bool looksLikeRtf(std::string_view data) {
  size_t i = 0;
  while (i < data.size() && (data[i] == ' ' || data[i] == '\r' || data[i] == '\n' || data[i] == '\t')) ++i;
  return data.substr(i, 5) == "{\\rtf";
}

std::vector<RtfParagraph> readRtf(std::string_view data) {
  if (!looksLikeRtf(data)) return {};
  return Reader(data).read();
}

}  // namespace vz::manager
