// Tokenizer of the script language.
//
// Some rules look odd but are the language: a "#" line comment skips the
// character after the "#" unseen (so "#" at the end of a line also comments
// out the next line); a "$" word has a length fixed by its first letters
// ($COLOUR reads COLOU and leaves the R); a string literal has no way to hold
// a double quote. Reads at or past the end of the text see the character 0.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/String.h"
#include "layers/Keyframe.h"

namespace kvx::script {

enum class TokenKind : int {
    TagRoot = 0,
    TagRootEnd = 1,
    TagDeclarations = 2,
    TagDeclarationsEnd = 3,
    TagScript = 4,
    TagScriptEnd = 5,
    TagLayer = 6,
    TagLayerEnd = 7,
    TagParam = 8,
    TagParamEnd = 9,
    Identifier = 10,
    Assign = 11,
    CloseParen = 12,
    OpenParen = 13,
    CloseBrace = 14,
    OpenBrace = 15,
    OpenBracket = 16,
    CloseBracket = 17,
    AddOp = 18,
    MulOp = 19,
    Literal = 20,
    Semicolon = 21,
    Comma = 22,
    KeyTarget = 23,
    KeyType = 24,
    KeyBlending = 25,
    KeyColor = 26,
    KeyStart = 27,
    KeyEnd = 28,
    KeyZ = 29,
    KeyKeepZBuf = 30,
    Invalid = 31,
};

struct Token {
    TokenKind kind = TokenKind::Invalid;
    // Operator character, identifier name, or for Invalid: the unknown tag
    // with its brackets, "$" and the unknown word, or the offending
    // character; empty at the end of the text.
    core::String text;
    // A literal's value; otherwise a keyframe of kind none.
    layers::Keyframe value;
    size_t start = 0;  // offset of the token's first character
};

// How a token kind is written, for messages ("';'", "<LAYER>").
const char* tokenKindName(TokenKind kind);
// The token as an author would recognise it in a message, shortened.
core::String describeToken(const Token& token);

class Tokenizer {
  public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    Token next();
    size_t cursor() const { return cursor_; }
    void setCursor(size_t c) { cursor_ = c; }

  private:
    char at(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
    void skipSeparators();
    // One scanner per token class; each starts at cursor_ and moves it past
    // what it takes.
    void scanTag(Token& tok);
    void scanIdentifier(Token& tok);
    void scanQuoted(Token& tok, char quote);
    void scanNumber(Token& tok);
    void scanKeyword(Token& tok);
    void scanPunctuation(Token& tok, char c);

    std::string_view text_;
    size_t cursor_ = 0;
};

}  // namespace kvx::script
