// The script grammar: values and their folding, colours, LAYER attributes,
// PARAM blocks, declarations and the top-level structure.
#include "script/Parser.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "script/Demo.h"

namespace kvx::script {

using layers::Keyframe;
using layers::ValueKind;

namespace {

// Parentheses and colours nested deeper than this fail the value instead of
// exhausting the stack.
constexpr int kMaxNesting = 1000;

// 32-bit arithmetic that wraps instead of being undefined.
int wrapAdd(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int wrapSub(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int wrapMul(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int safeDiv(int a, int b) {
    if (b == 0) {
        return 0;
    }
    if (a == INT32_MIN && b == -1) {
        return INT32_MIN;  // the one quotient that does not fit
    }
    return a / b;
}

// A fold result: slots from the operation, kind of the left operand, and
// time, interpolation, colour and expression cleared.
Keyframe folded(ValueKind kind) {
    Keyframe k;
    k.kind = kind;
    return k;
}

void fold(Keyframe& a, char op, const Keyframe& b) {
    Keyframe r = folded(a.kind);
    switch (op) {
        case '+':
            r.intValue = wrapAdd(a.intValue, b.intValue);
            r.floatValue = a.floatValue + b.floatValue;
            r.text = a.text + b.text;
            break;
        case '-':
            r.intValue = wrapSub(a.intValue, b.intValue);
            r.floatValue = a.floatValue - b.floatValue;
            break;
        case '*':
            r.intValue = wrapMul(a.intValue, b.intValue);
            r.floatValue = a.floatValue * b.floatValue;
            break;
        default:
            r.intValue = safeDiv(a.intValue, b.intValue);
            r.floatValue = b.floatValue == 0.0f ? 0.0f : a.floatValue / b.floatValue;
            break;
    }
    a = std::move(r);
}

float colourComponent(const Keyframe& k) {
    float c =
        k.kind == ValueKind::Int ? static_cast<float>(k.intValue) * (1.0f / 255.0f) : k.floatValue;
    if (std::isnan(c)) {
        return 0.0f;
    }
    return c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c);
}

}  // namespace

Parser::Parser(const MappedText& text, Demo& demo)
    : text_(text), demo_(demo), tokenizer_(text.text) {}

void Parser::start() {
    tokenizer_.setCursor(0);
    current_ = tokenizer_.next();
    previous_ = Token();
}

bool Parser::accept(TokenKind kind) {
    if (current_.kind != kind) {
        return false;
    }
    previous_ = std::move(current_);
    current_ = tokenizer_.next();
    return true;
}

bool Parser::expected(TokenKind kind, const char* context) {
    std::string what = tokenKindName(kind);
    if (context != nullptr) {
        what += " ";
        what += context;
    }
    return expectedText(what.c_str(),
                        kind == TokenKind::TagDeclarations || kind == TokenKind::TagScript);
}

bool Parser::expectedText(const char* what, bool optionalBlock) {
    Pending p;
    p.pos = current_.start;
    p.expected = what;
    p.found = describeToken(current_);
    p.optionalBlock = optionalBlock;
    pending_.push_back(std::move(p));
    return false;
}

Diagnostic Parser::locate(size_t pos) const {
    Diagnostic d;
    text_.locate(pos, d.file, d.line, d.column);
    return d;
}

void Parser::recover(const char* consequence) {
    for (const Pending& p : pending_) {
        if (p.optionalBlock) {
            continue;
        }
        Diagnostic d = locate(p.pos);
        d.error = false;
        d.expected = p.expected;
        d.found = p.found;
        std::string msg = "expected " + p.expected.str() + ", found " + p.found.str();
        if (consequence != nullptr) {
            msg += " (";
            msg += consequence;
            msg += ")";
        }
        d.text = formatDiagnostic(d, core::String(std::string_view(msg)));
        warnings_.push_back(std::move(d));
    }
    pending_.clear();
}

void Parser::dropOptional() {
    std::vector<Pending> kept;
    for (Pending& p : pending_) {
        if (!p.optionalBlock) {
            kept.push_back(std::move(p));
        }
    }
    pending_.swap(kept);
}

bool Parser::parseValue(layers::Track& track) {
    Keyframe k;
    const bool ok = value(k);
    track.reset(std::move(k));
    return ok;
}

bool Parser::parseColour(layers::Track& track) {
    Keyframe k;
    const bool ok = colour(k);
    track.reset(k);
    return ok;
}

bool Parser::fail(const char* what) {
    return expectedText(what);
}

bool Parser::value(Keyframe& out) {
    out = Keyframe();
    if (current_.kind == TokenKind::OpenBrace) {
        return colour(out);
    }
    if (current_.kind == TokenKind::Semicolon) {
        return false;  // an empty value: kind none, no record
    }
    if (!term(out)) {
        return false;
    }
    while (current_.kind == TokenKind::AddOp) {
        accept(TokenKind::AddOp);
        const char op = previous_.text.at(0);
        Keyframe rhs;
        if (!term(rhs)) {
            return false;
        }
        fold(out, op, rhs);
    }
    return true;
}

bool Parser::term(Keyframe& out) {
    if (!unary(out)) {
        return false;
    }
    while (current_.kind == TokenKind::MulOp) {
        accept(TokenKind::MulOp);
        const char op = previous_.text.at(0);
        Keyframe rhs;
        // The right operand of "*" and "/" is a primary: it takes no sign.
        if (!primary(rhs)) {
            return false;
        }
        fold(out, op, rhs);
    }
    return true;
}

bool Parser::unary(Keyframe& out) {
    if (accept(TokenKind::AddOp)) {
        const bool minus = previous_.text.at(0) == '-';
        Keyframe operand;
        if (!primary(operand)) {
            return false;
        }
        if (minus) {
            Keyframe r = folded(operand.kind);
            r.intValue = wrapSub(0, operand.intValue);
            r.floatValue = -operand.floatValue;
            out = std::move(r);
        } else {
            out = std::move(operand);
        }
        return true;
    }
    return primary(out);
}

bool Parser::primary(Keyframe& out) {
    if (accept(TokenKind::OpenParen)) {
        if (nesting_ >= kMaxNesting) {
            return fail("a value nested less deeply");
        }
        ++nesting_;
        const bool ok = value(out);
        --nesting_;
        if (!ok) {
            return false;
        }
        return accept(TokenKind::CloseParen) || expected(TokenKind::CloseParen, "to close the '('");
    }
    if (accept(TokenKind::Literal)) {
        out = std::move(previous_.value);  // nothing reads it after this
        out.time = 0;
        out.interpolation = layers::Interpolation::Step;
        return true;
    }
    if (accept(TokenKind::Identifier)) {
        out = demo_.findDeclaration(previous_.text).current();
        return true;
    }
    return fail("a value");
}

bool Parser::colour(Keyframe& out) {
    out = Keyframe();
    if (!accept(TokenKind::OpenBrace)) {
        return expected(TokenKind::OpenBrace, "to start a colour");
    }
    if (nesting_ >= kMaxNesting) {
        return fail("a value nested less deeply");
    }
    Keyframe result = folded(ValueKind::Colour);
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0 && !accept(TokenKind::Comma)) {
            return expected(TokenKind::Comma, "between colour components");
        }
        Keyframe component;
        ++nesting_;
        const bool ok = value(component);
        --nesting_;
        if (!ok) {
            return current_.kind == TokenKind::Semicolon ? fail("a colour component") : false;
        }
        result.colour[i] = colourComponent(component);
    }
    if (!accept(TokenKind::CloseBrace)) {
        return expected(TokenKind::CloseBrace, "after the fourth colour component");
    }
    out = std::move(result);
    return true;
}

bool Parser::parseAttribute(layers::LayerDesc& desc) {
    const TokenKind kind = current_.kind;
    switch (kind) {
        case TokenKind::KeyBlending:
        case TokenKind::KeyTarget:
        case TokenKind::KeyStart:
        case TokenKind::KeyEnd:
        case TokenKind::KeyZ:
        case TokenKind::KeyKeepZBuf:
        case TokenKind::KeyColor:
            break;
        default:
            return false;
    }
    accept(kind);
    if (!accept(TokenKind::Assign)) {
        return expected(TokenKind::Assign, "after the attribute");
    }
    Keyframe k;
    if (kind == TokenKind::KeyColor) {
        if (!colour(k)) {
            return false;
        }
    } else {
        value(k);
    }
    if (!accept(TokenKind::Semicolon)) {
        return expected(TokenKind::Semicolon, "after the attribute's value");
    }
    switch (kind) {
        case TokenKind::KeyBlending:
            desc.blending = k.text;
            break;
        case TokenKind::KeyTarget:
            desc.target = k.intValue;
            break;
        case TokenKind::KeyStart:
            desc.start = k.intValue;
            break;
        case TokenKind::KeyEnd:
            desc.end = k.intValue;
            break;
        case TokenKind::KeyZ:
            desc.z = k.intValue;
            break;
        case TokenKind::KeyKeepZBuf:
            desc.keepZBuffer = k.text.equals("true");
            break;
        default:
            desc.colour = k.colour;
            break;
    }
    recover("the attribute is kept");
    return true;
}

bool Parser::parseParamBlock(layers::LayerDesc& desc) {
    if (!accept(TokenKind::TagParam)) {
        return false;
    }
    while (parseParamStatement(desc)) {
    }
    if (!accept(TokenKind::TagParamEnd)) {
        return expected(TokenKind::TagParamEnd, "or another parameter");
    }
    recover("that parameter entry is ignored");
    return true;
}

bool Parser::parseParamStatement(layers::LayerDesc& desc) {
    if (!accept(TokenKind::Identifier)) {
        return false;
    }
    const core::String name = previous_.text;
    uint32_t key = 0;
    layers::Interpolation interpolation = layers::Interpolation::Step;
    TokenKind close = TokenKind::Invalid;
    if (accept(TokenKind::OpenParen)) {
        close = TokenKind::CloseParen;
    } else if (accept(TokenKind::OpenBrace)) {
        close = TokenKind::CloseBrace;
        interpolation = layers::Interpolation::Linear;
    } else if (accept(TokenKind::OpenBracket)) {
        close = TokenKind::CloseBracket;
        interpolation = layers::Interpolation::Smooth;
    }
    if (close != TokenKind::Invalid) {
        const Token keyToken = current_;
        Keyframe k;
        value(k);
        if (!accept(close)) {
            return expected(close, "after the time key");
        }
        if (k.kind != ValueKind::Int) {
            Pending p;
            p.pos = keyToken.start;
            p.expected = "a whole number of milliseconds as the time key";
            p.found = describeToken(keyToken);
            pending_.push_back(std::move(p));
            return false;
        }
        key = static_cast<uint32_t>(k.intValue);
    }
    if (!accept(TokenKind::Assign)) {
        return expected(TokenKind::Assign, "after the parameter name");
    }
    layers::Track track;
    parseValue(track);
    if (!accept(TokenKind::Semicolon)) {
        return expected(TokenKind::Semicolon, "after the value");
    }
    desc.addParam(name, track, key, interpolation);
    recover("the parameter is kept");
    return true;
}

bool Parser::parseDeclaration() {
    if (!accept(TokenKind::Identifier)) {
        return false;
    }
    const core::String name = previous_.text;
    if (!accept(TokenKind::Assign)) {
        return expected(TokenKind::Assign, "after the declared name");
    }
    layers::Track track;
    parseValue(track);
    // Defined before the ";" is checked: a broken statement still defines it.
    demo_.addDeclaration(name, track);
    if (!accept(TokenKind::Semicolon)) {
        return expected(TokenKind::Semicolon, "after the value");
    }
    recover("the declaration is kept");
    return true;
}

bool Parser::parseLayer(layers::LayerDesc& desc) {
    desc = layers::LayerDesc();
    if (!accept(TokenKind::TagLayer)) {
        return false;
    }
    if (!accept(TokenKind::KeyType)) {
        return expected(TokenKind::KeyType, "as the LAYER's first statement");
    }
    if (!accept(TokenKind::Assign)) {
        return expected(TokenKind::Assign, "after $TYPE");
    }
    if (!accept(TokenKind::Literal)) {
        return expected(TokenKind::Literal, "naming the layer type");
    }
    desc.type = previous_.value.text;
    if (!accept(TokenKind::Semicolon)) {
        return expected(TokenKind::Semicolon, "after the layer type");
    }
    while (parseAttribute(desc)) {
    }
    while (parseParamBlock(desc)) {
    }
    if (!accept(TokenKind::TagLayerEnd)) {
        return expected(TokenKind::TagLayerEnd, "(attributes come before <PARAM> blocks)");
    }
    return true;
}

bool Parser::parseRoot(std::vector<layers::LayerDesc>& layers, std::vector<Diagnostic>& positions) {
    if (!accept(TokenKind::TagRoot)) {
        expected(TokenKind::TagRoot, "at the start of the script");
    } else {
        // Declarations block; its result is not used.
        if (accept(TokenKind::TagDeclarations)) {
            while (parseDeclaration()) {
            }
            if (accept(TokenKind::TagDeclarationsEnd)) {
                recover("the DECLARATIONS block goes on");
            } else {
                expected(TokenKind::TagDeclarationsEnd, "or another declaration");
            }
        } else {
            expected(TokenKind::TagDeclarations);
        }
        // Script block; its result is not used either.
        if (accept(TokenKind::TagScript)) {
            // A DECLARATIONS block that broke off right before <SCRIPT> is
            // silently cut short there.
            recover("the DECLARATIONS block ends there");
            for (;;) {
                const size_t at = current_.start;
                layers::LayerDesc desc;
                if (!parseLayer(desc)) {
                    break;
                }
                recover("that statement is ignored; the LAYER is kept");
                layers.push_back(std::move(desc));
                positions.push_back(locate(at));
            }
            if (accept(TokenKind::TagScriptEnd)) {
                recover("that LAYER is dropped");
            } else {
                expected(TokenKind::TagScriptEnd, "or another <LAYER>");
            }
        } else {
            expected(TokenKind::TagScript);
        }
        if (accept(TokenKind::TagRootEnd)) {
            dropOptional();
            recover(nullptr);
            return true;
        }
        expected(TokenKind::TagRootEnd, "at the end of the script");
    }
    // The root failed: the first record since the last recovery is the error.
    const Pending* first = nullptr;
    for (const Pending& p : pending_) {
        if (!p.optionalBlock) {
            first = &p;
            break;
        }
    }
    if (first == nullptr && !pending_.empty()) {
        first = &pending_.front();
    }
    Diagnostic d = locate(first != nullptr ? first->pos : current_.start);
    d.error = true;
    if (first != nullptr) {
        d.expected = first->expected;
        d.found = first->found;
    }
    d.text = formatDiagnostic(d);
    error_ = std::move(d);
    return false;
}

}  // namespace kvx::script
