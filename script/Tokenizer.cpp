// Tokenizer of the script language; see Tokenizer.h for its odd rules.
#include "script/Tokenizer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "script/ScriptText.h"

namespace kvx::script {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct Named {
    const char* name;
    TokenKind kind;
};

constexpr Named kTags[] = {
    {"ZEL", TokenKind::TagRoot},
    {"/ZEL", TokenKind::TagRootEnd},
    {"DECLARATIONS", TokenKind::TagDeclarations},
    {"/DECLARATIONS", TokenKind::TagDeclarationsEnd},
    {"SCRIPT", TokenKind::TagScript},
    {"/SCRIPT", TokenKind::TagScriptEnd},
    {"LAYER", TokenKind::TagLayer},
    {"/LAYER", TokenKind::TagLayerEnd},
    {"PARAM", TokenKind::TagParam},
    {"/PARAM", TokenKind::TagParamEnd},
};

constexpr Named kWords[] = {
    {"TYPE", TokenKind::KeyType},
    {"TARGET", TokenKind::KeyTarget},
    {"BLENDING", TokenKind::KeyBlending},
    {"COLOR", TokenKind::KeyColor},
    {"START", TokenKind::KeyStart},
    {"END", TokenKind::KeyEnd},
    {"Z", TokenKind::KeyZ},
    {"KEEPZBUF", TokenKind::KeyKeepZBuf},
};

// The C runtime's atoi would overflow on long digit strings; saturate.
int digitsToInt(std::string_view digits) {
    long long v = 0;
    for (char c : digits) {
        v = v * 10 + (c - '0');
        if (v > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(v);
}

// How many characters a "$" word takes, from its first two: TYPE and
// TARGET share their first letter, so the second decides between them.
size_t keywordLength(char c1, char c2) {
    switch (c1) {
        case 't':
        case 'T':
            return (c2 == 'y' || c2 == 'Y') ? 4 : 6;
        case 'b':
        case 'B':
        case 'k':
        case 'K':
            return 8;
        case 'c':
        case 'C':
        case 's':
        case 'S':
            return 5;
        case 'e':
        case 'E':
            return 3;
        default:
            return 1;
    }
}

TokenKind punctuationKind(char c) {
    switch (c) {
        case '(':
            return TokenKind::OpenParen;
        case ')':
            return TokenKind::CloseParen;
        case '{':
            return TokenKind::OpenBrace;
        case '}':
            return TokenKind::CloseBrace;
        case '[':
            return TokenKind::OpenBracket;
        case ']':
            return TokenKind::CloseBracket;
        case '+':
        case '-':
            return TokenKind::AddOp;
        case '*':
        case '/':
            return TokenKind::MulOp;
        case ',':
            return TokenKind::Comma;
        case ';':
            return TokenKind::Semicolon;
        case '=':
            return TokenKind::Assign;
        default:
            return TokenKind::Invalid;
    }
}

}  // namespace

void Tokenizer::skipSeparators() {
    for (;;) {
        const char c = at(cursor_);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++cursor_;
        } else if (c == '#') {
            // The character after "#" is skipped unseen, even a line feed.
            cursor_ += 2;
            while (cursor_ < text_.size() && text_[cursor_] != '\n') {
                ++cursor_;
            }
        } else {
            return;
        }
    }
}

Token Tokenizer::next() {
    skipSeparators();
    Token tok;
    tok.start = cursor_;
    const char c = at(cursor_);
    if (c == '<') {
        scanTag(tok);
    } else if (isLetter(c) || c == '_') {
        scanIdentifier(tok);
    } else if (c == '"' || c == '\'') {
        scanQuoted(tok, c);
    } else if (isDigit(c)) {
        scanNumber(tok);
    } else if (c == '$') {
        scanKeyword(tok);
    } else {
        scanPunctuation(tok, c);
    }
    return tok;
}

void Tokenizer::scanTag(Token& tok) {
    const size_t from = cursor_ + 1;
    const size_t close = text_.find('>', from);
    const size_t end = close == std::string_view::npos ? text_.size() : close;
    const std::string_view name =
        text_.substr(std::min(from, text_.size()), end - std::min(from, end));
    cursor_ = close == std::string_view::npos ? text_.size() : close + 1;
    for (const Named& t : kTags) {
        if (core::equalsIgnoreCase(name, t.name)) {
            tok.kind = t.kind;
            return;
        }
    }
    std::string shown = "<";
    shown.append(name);
    shown += ">";
    tok.text = core::String(std::string_view(shown));
}

void Tokenizer::scanIdentifier(Token& tok) {
    const size_t from = cursor_;
    while (isLetter(at(cursor_)) || isDigit(at(cursor_)) || at(cursor_) == '_') {
        ++cursor_;
    }
    tok.kind = TokenKind::Identifier;
    tok.text = core::String(text_.substr(from, cursor_ - from));
}

// A string in double quotes or an expression in single quotes, up to the
// closing quote or the end of the text.
void Tokenizer::scanQuoted(Token& tok, char quote) {
    const size_t from = cursor_ + 1;
    const size_t close = text_.find(quote, from);
    const size_t end = close == std::string_view::npos ? text_.size() : close;
    const std::string_view body =
        text_.substr(std::min(from, text_.size()), end - std::min(from, end));
    cursor_ = close == std::string_view::npos ? text_.size() : close + 1;
    tok.kind = TokenKind::Literal;
    if (quote == '"') {
        tok.value.kind = layers::ValueKind::String;
        tok.value.text = core::String(std::string_view(unescapeString(body)));
    } else {
        tok.value.kind = layers::ValueKind::Float;
        tok.value.hasExpression = true;
        tok.value.expression = expr::compileExpression(core::String(body));
    }
}

void Tokenizer::scanNumber(Token& tok) {
    const size_t from = cursor_;
    while (isDigit(at(cursor_))) {
        ++cursor_;
    }
    const size_t intEnd = cursor_;
    tok.kind = TokenKind::Literal;
    if (at(cursor_) == '.') {
        ++cursor_;
        while (isDigit(at(cursor_))) {
            ++cursor_;
        }
        const std::string number(text_.substr(from, cursor_ - from));
        tok.value.kind = layers::ValueKind::Float;
        tok.value.floatValue = static_cast<float>(std::strtod(number.c_str(), nullptr));
    } else {
        tok.value.kind = layers::ValueKind::Int;
        tok.value.intValue = digitsToInt(text_.substr(from, intEnd - from));
    }
}

// "$" and a word whose length is fixed by its first letters, whatever the
// letters after them are.
void Tokenizer::scanKeyword(Token& tok) {
    const size_t take = keywordLength(at(cursor_ + 1), at(cursor_ + 2));
    std::string word;
    for (size_t i = 0; i < take; ++i) {
        const char w = at(cursor_ + 1 + i);
        if (w != '\0') {
            word.push_back(w);
        }
    }
    // Past the end the cursor stays at the end: reads there see 0 anyway.
    cursor_ = std::min(cursor_ + 1 + take, text_.size());
    for (const Named& k : kWords) {
        if (core::equalsIgnoreCase(word, k.name)) {
            tok.kind = k.kind;
            return;
        }
    }
    tok.text = core::String(std::string_view("$" + word));
}

void Tokenizer::scanPunctuation(Token& tok, char c) {
    const TokenKind single = punctuationKind(c);
    if (single == TokenKind::Invalid) {
        // Anything else, and the end, stop here without moving.
        if (cursor_ < text_.size()) {
            tok.text = core::String(c);
        }
        return;
    }
    ++cursor_;
    tok.kind = single;
    if (single == TokenKind::AddOp || single == TokenKind::MulOp) {
        tok.text = core::String(c);
    }
}

const char* tokenKindName(TokenKind kind) {
    static const char* const kNames[] = {
        "<ZEL>",
        "</ZEL>",
        "<DECLARATIONS>",
        "</DECLARATIONS>",
        "<SCRIPT>",
        "</SCRIPT>",
        "<LAYER>",
        "</LAYER>",
        "<PARAM>",
        "</PARAM>",
        "a name",
        "'='",
        "')'",
        "'('",
        "'}'",
        "'{'",
        "'['",
        "']'",
        "'+' or '-'",
        "'*' or '/'",
        "a value",
        "';'",
        "','",
        "$TARGET",
        "$TYPE",
        "$BLENDING",
        "$COLOR",
        "$START",
        "$END",
        "$Z",
        "$KEEPZBUF",
        "an invalid token",
    };
    const int i = static_cast<int>(kind);
    return i >= 0 && i <= 31 ? kNames[i] : "?";
}

core::String describeToken(const Token& token) {
    constexpr size_t kMax = 40;
    auto shorten = [](std::string s) {
        if (s.size() > kMax) {
            s.resize(kMax);
            s += "...";
        }
        return s;
    };
    std::string s;
    switch (token.kind) {
        case TokenKind::Identifier:
            s = "'" + shorten(token.text.str()) + "'";
            break;
        case TokenKind::AddOp:
        case TokenKind::MulOp:
            s = "'" + token.text.str() + "'";
            break;
        case TokenKind::Literal:
            if (token.value.hasExpression) {
                s = "an expression";
            } else if (token.value.kind == layers::ValueKind::String) {
                s = "the string \"" + shorten(token.value.text.str()) + "\"";
            } else if (token.value.kind == layers::ValueKind::Int) {
                s = "the number " + std::to_string(token.value.intValue);
            } else {
                s = "a decimal number";
            }
            break;
        case TokenKind::Invalid:
            if (token.text.empty()) {
                s = "the end of the script";
            } else if (token.text.length() == 1) {
                const unsigned char ch = static_cast<unsigned char>(token.text.at(0));
                if (ch >= 32 && ch < 127) {
                    s = std::string("'") + static_cast<char>(ch) + "'";
                } else {
                    static const char* const kHex = "0123456789abcdef";
                    s = std::string("byte 0x") + kHex[ch >> 4] + kHex[ch & 15];
                }
            } else {
                s = "'" + shorten(token.text.str()) + "'";
            }
            break;
        default:
            s = tokenKindName(token.kind);
            break;
    }
    return core::String(std::string_view(s));
}

}  // namespace kvx::script
