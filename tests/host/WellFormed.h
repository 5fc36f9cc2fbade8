// Strict checks that a text is one JSON value (RFC 8259, UTF-8, no duplicate keys) or one
// well-formed XML document (an optional declaration, then one element tree with quoted, unique
// attributes and known entities), for the analysis's report and plot.
#pragma once
#include <cctype>
#include <set>
#include <string>

namespace wellformed {

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    bool Json() { return Value() && (Space(), at_ == s_.size()); }
    bool Xml() {
        if (s_.compare(0, 5, "<?xml") == 0) {
            const size_t end = s_.find("?>");
            if (end == std::string::npos) return false;
            at_ = end + 2;
        }
        return (Space(), Element()) && (Space(), at_ == s_.size());
    }
    size_t At() const { return at_; }

private:
    char Peek() const { return at_ < s_.size() ? s_[at_] : '\0'; }
    bool Eat(char c) { return Peek() == c && ++at_; }
    static int Digit(int c) { return std::isdigit(c); }
    static int HexDigit(int c) { return std::isxdigit(c); }
    static int Letter(int c) { return std::isalpha(c); }
    static int LetterOrDigit(int c) { return std::isalnum(c); }
    bool Is(int (*test)(int)) const { return test(static_cast<unsigned char>(Peek())) != 0; }
    void Space() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') ++at_;
    }
    bool Word(const char* word) {
        const std::string w = word;
        if (s_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }

    bool Value() {
        Space();
        if (Eat('{')) return Members('}', true);
        if (Eat('[')) return Members(']', false);
        if (Peek() == '"') return String();
        if (Peek() == '-' || Is(Digit)) return Number();
        return Word("true") || Word("false") || Word("null");
    }
    bool Members(char close, bool object) {
        std::set<std::string> keys;
        if (Space(), Eat(close)) return true;
        do {
            Space();
            const size_t key = at_;
            if (object && (!String() || !keys.insert(s_.substr(key, at_ - key)).second ||
                           (Space(), !Eat(':'))))
                return false;
            if (!Value()) return false;
            Space();
        } while (Eat(','));
        return Eat(close);
    }
    bool String() {
        if (!Eat('"')) return false;
        while (at_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c == '\\' && Eat('u')) {
                for (int k = 0; k < 4; ++k, ++at_)
                    if (!Is(HexDigit)) return false;
            } else if (c == '\\') {
                if (std::string("\"\\/bfnrt").find(Peek()) == std::string::npos || !Peek())
                    return false;
                ++at_;
            } else if (c >= 0x80) {  // a UTF-8 sequence: lead byte, then continuation bytes
                const int length = c >= 0xF5   ? 0
                                   : c >= 0xF0 ? 4
                                   : c >= 0xE0 ? 3
                                   : c >= 0xC2 ? 2
                                               : 0;
                if (length == 0) return false;
                for (int k = 1; k < length; ++k, ++at_)
                    if ((static_cast<unsigned char>(Peek()) & 0xC0) != 0x80) return false;
            }
        }
        return false;
    }
    bool Digits() {
        const size_t start = at_;
        while (Is(Digit)) ++at_;
        return at_ > start;
    }
    bool Number() {
        Eat('-');
        if (!Eat('0') && !Digits()) return false;
        if (Eat('.') && !Digits()) return false;
        if (Eat('e') || Eat('E')) return (Eat('+') || Eat('-') || true) && Digits();
        return true;
    }

    bool Name() {
        if (!Is(Letter) && Peek() != '_' && Peek() != ':') return false;
        while (Is(LetterOrDigit) || Peek() == '_' || Peek() == ':' || Peek() == '-' ||
               Peek() == '.')
            ++at_;
        return true;
    }
    bool Entity() {  // after '&'
        const size_t end = s_.find(';', at_);
        const std::string name = end == std::string::npos ? "" : s_.substr(at_, end - at_);
        const bool numeric = name.size() > 1 && name[0] == '#' &&
                             name.find_first_not_of("0123456789", 1) == std::string::npos;
        at_ = end + 1;
        return numeric || name == "amp" || name == "lt" || name == "gt" || name == "quot" ||
               name == "apos";
    }
    bool Element() {
        const size_t start = at_ + 1;
        if (!Eat('<') || !Name()) return false;
        const std::string name = s_.substr(start, at_ - start);
        std::set<std::string> attributes;
        for (;;) {  // attributes, then the end of the start tag
            Space();
            if (Eat('/')) return Eat('>');
            if (Eat('>')) break;
            const size_t attribute = at_;
            if (!Name() || !attributes.insert(s_.substr(attribute, at_ - attribute)).second)
                return false;
            Space();
            if (!Eat('=')) return false;
            Space();
            const char quote = Peek();
            if (quote != '"' && quote != '\'') return false;
            for (++at_; !Eat(quote);)
                if (at_ >= s_.size() || Peek() == '<' || (Eat('&') ? !Entity() : (++at_, false)))
                    return false;
        }
        for (;;) {  // content, then the end tag
            if (at_ >= s_.size()) return false;
            if (Word("</")) return Word(name.c_str()) && (Space(), Eat('>'));
            if (Peek() == '<') {
                if (!Element()) return false;
            } else if (Eat('&')) {
                if (!Entity()) return false;
            } else {
                const unsigned char c = static_cast<unsigned char>(s_[at_++]);
                if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            }
        }
    }

    const std::string& s_;
    size_t at_ = 0;
};

// On failure `where` gets the offset at which reading stopped.
inline bool IsJson(const std::string& text, std::string* where = nullptr) {
    Parser parser(text);
    const bool ok = parser.Json();
    if (!ok && where) *where = "not JSON, at " + std::to_string(parser.At());
    return ok;
}
inline bool IsXml(const std::string& text, std::string* where = nullptr) {
    Parser parser(text);
    const bool ok = parser.Xml();
    if (!ok && where) *where = "not well-formed XML, at " + std::to_string(parser.At());
    return ok;
}

}  // namespace wellformed
