// Parser: the grammar of the script over the tokenizer.
//
// One token of look-ahead (current) and the token last accepted (previous).
// Values are folded at load time: each arithmetic operation works on the int
// and float slots separately, so 1 + 2.5 has int slot 1 and float slot 2.5.
// The folded result takes the kind of its left operand.
//
// Diagnostics: every `expected` is recorded as pending. A rule that succeeds
// in spite of a pending record (a declaration missing its ";" right before
// </DECLARATIONS>, an attribute missing its ";" right before </LAYER>, a
// broken LAYER followed by </SCRIPT>) turns it into a warning; when the root
// fails, the first pending record is the error. Records of the optional
// blocks (no <DECLARATIONS>) are only used when nothing better is known.
#pragma once

#include <optional>
#include <vector>

#include "layers/LayerDesc.h"
#include "layers/Track.h"
#include "script/Diagnostics.h"
#include "script/ScriptText.h"
#include "script/Tokenizer.h"

namespace kvx::script {

class Demo;

class Parser {
  public:
    Parser(const MappedText& text, Demo& demo);

    // Cursor to 0 and the first token into current.
    void start();
    bool accept(TokenKind kind);
    // Records the syntax error at the current token; always false.
    bool expected(TokenKind kind, const char* context = nullptr);
    const Token& current() const { return current_; }
    const Token& previous() const { return previous_; }

    bool parseValue(layers::Track& track);
    bool parseColour(layers::Track& track);
    bool parseAttribute(layers::LayerDesc& desc);
    bool parseParamBlock(layers::LayerDesc& desc);
    bool parseParamStatement(layers::LayerDesc& desc);
    bool parseDeclaration();

    // The whole script: LAYERs in script order with the position of each.
    bool parseRoot(std::vector<layers::LayerDesc>& layers, std::vector<Diagnostic>& positions);
    bool parseLayer(layers::LayerDesc& desc);

    const std::optional<Diagnostic>& error() const { return error_; }
    const std::vector<Diagnostic>& warnings() const { return warnings_; }

  private:
    struct Pending {
        size_t pos = 0;
        core::String expected;
        core::String found;
        bool optionalBlock = false;
    };

    bool value(layers::Keyframe& out);
    bool term(layers::Keyframe& out);
    bool unary(layers::Keyframe& out);
    bool primary(layers::Keyframe& out);
    bool colour(layers::Keyframe& out);
    bool fail(const char* what);
    bool expectedText(const char* what, bool optionalBlock = false);
    void recover(const char* consequence);
    void dropOptional();
    Diagnostic locate(size_t pos) const;

    const MappedText& text_;
    Demo& demo_;
    Tokenizer tokenizer_;
    Token current_;
    Token previous_;
    int nesting_ = 0;
    std::vector<Pending> pending_;
    std::vector<Diagnostic> warnings_;
    std::optional<Diagnostic> error_;
};

}  // namespace kvx::script
