// Expression nodes, their evaluation, and the compiler from text to nodes.
//
// The compiler is a recursive descent over its own small token set (numbers,
// names, parentheses, + - * /). A failing rule stops the compile; the
// top-level sum keeps the terms completed before the error. Compiler state
// is local to one compile, so compiles are independent of each other.
#include "expr/Expression.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "core/Globals.h"

namespace kvx::expr {

float ConstNode::evaluate(float) const {
    return value;
}
std::unique_ptr<ExprNode> ConstNode::clone() const {
    return std::make_unique<ConstNode>(value);
}

float FactorNode::evaluate(float x) const {
    float v = operand ? operand->evaluate(x) : 0.0f;
    if (!multiply) {
        // A divisor of 0 (or NaN) makes the factor 0, so the product is 0.
        v = (v == 0.0f || std::isnan(v)) ? 0.0f : 1.0f / v;
    }
    return negate ? -v : v;
}

std::unique_ptr<ExprNode> FactorNode::clone() const {
    auto copy = std::make_unique<FactorNode>();
    copy->operand = operand ? operand->clone() : nullptr;
    copy->multiply = multiply;
    copy->negate = negate;
    return copy;
}

float ProductNode::evaluate(float x) const {
    float acc = 1.0f;
    for (const auto& f : factors) {
        acc *= f->evaluate(x);
    }
    return negate ? -acc : acc;
}

std::unique_ptr<ProductNode> ProductNode::cloneProduct() const {
    auto copy = std::make_unique<ProductNode>();
    copy->negate = negate;
    copy->factors.reserve(factors.size());
    for (const auto& f : factors) {
        auto fc = std::make_unique<FactorNode>();
        fc->operand = f->operand ? f->operand->clone() : nullptr;
        fc->multiply = f->multiply;
        fc->negate = f->negate;
        copy->factors.push_back(std::move(fc));
    }
    return copy;
}
std::unique_ptr<ExprNode> ProductNode::clone() const {
    return cloneProduct();
}

float SumNode::evaluate(float x) const {
    float acc = 0.0f;
    for (const auto& t : terms) {
        acc += t->evaluate(x);
    }
    return acc;
}

std::unique_ptr<SumNode> SumNode::cloneSum() const {
    auto copy = std::make_unique<SumNode>();
    copy->terms.reserve(terms.size());
    for (const auto& t : terms) {
        copy->terms.push_back(t->cloneProduct());
    }
    return copy;
}
std::unique_ptr<ExprNode> SumNode::clone() const {
    return cloneSum();
}

float FuncNode::evaluate(float x) const {
    switch (function) {
        case FuncCode::Abs:
            return argument ? std::fabs(argument->evaluate(x)) : 0.0f;
        case FuncCode::Sin:
            return argument ? std::sin(argument->evaluate(x)) : 0.0f;
        case FuncCode::Cos:
            return argument ? std::cos(argument->evaluate(x)) : 0.0f;
        case FuncCode::X:
            return x;
        case FuncCode::Pi:
            return 3.1415927f;
        case FuncCode::Beat:
            return core::globals().beatPulse.load(std::memory_order_relaxed);
        case FuncCode::BeatCount:
            return static_cast<float>(
                static_cast<uint32_t>(core::globals().beatCount.load(std::memory_order_relaxed)));
        case FuncCode::Deg: {
            const double v = argument ? argument->evaluate(x) : 0.0f;
            return static_cast<float>(std::fmod(v, 360.0));
        }
        default:
            return 0.0f;
    }
}

std::unique_ptr<ExprNode> FuncNode::clone() const {
    auto copy = std::make_unique<FuncNode>(function);
    copy->argument = argument ? argument->cloneSum() : nullptr;
    return copy;
}

namespace {

enum class ETok { Number, Open, Close, Name, Add, Mul, End };

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Nesting deeper than this fails the compile instead of the stack.
constexpr int kMaxNesting = 256;

class Compiler {
  public:
    explicit Compiler(std::string_view text) : text_(text) { scan(); }

    std::unique_ptr<SumNode> sum(bool& ok) {
        auto node = std::make_unique<SumNode>();
        ok = false;
        if (++nesting_ > kMaxNesting) {
            --nesting_;
            return node;
        }
        auto first = product();
        if (first) {
            node->terms.push_back(std::move(first));
            ok = true;
            while (kind_ == ETok::Add) {
                const bool minus = tokText_ == "-";
                scan();
                auto next = product();
                if (!next) {
                    ok = false;
                    break;
                }
                if (minus) {
                    next->negate = true;
                }
                node->terms.push_back(std::move(next));
            }
        }
        --nesting_;
        return node;
    }

  private:
    std::unique_ptr<ProductNode> product() {
        auto node = std::make_unique<ProductNode>();
        auto first = factor();
        if (!first) {
            return nullptr;
        }
        node->factors.push_back(std::move(first));
        while (kind_ == ETok::Mul) {
            const bool divide = tokText_ == "/";
            scan();
            auto next = factor();
            if (!next) {
                return nullptr;
            }
            if (divide) {
                next->multiply = false;
            }
            node->factors.push_back(std::move(next));
        }
        return node;
    }

    std::unique_ptr<FactorNode> factor() {
        auto node = std::make_unique<FactorNode>();
        if (kind_ == ETok::Add) {
            node->negate = tokText_ == "-";
            scan();
        }
        node->operand = primary();
        if (!node->operand) {
            return nullptr;
        }
        return node;
    }

    std::unique_ptr<ExprNode> primary() {
        switch (kind_) {
            case ETok::Open: {
                scan();
                bool ok = false;
                auto inner = sum(ok);
                if (!ok || kind_ != ETok::Close) {
                    return nullptr;
                }
                scan();
                return inner;
            }
            case ETok::Number: {
                const std::string digits(tokText_);
                scan();
                return std::make_unique<ConstNode>(static_cast<float>(std::atof(digits.c_str())));
            }
            case ETok::Name: {
                const FuncCode code = functionCode(tokText_);
                if (code == FuncCode::None) {
                    return nullptr;
                }
                scan();
                auto node = std::make_unique<FuncNode>(code);
                if (kind_ == ETok::Open) {
                    scan();
                    bool ignored = false;
                    node->argument = sum(ignored);
                    if (kind_ != ETok::Close) {
                        return nullptr;
                    }
                    scan();
                }
                return node;
            }
            default:
                return nullptr;
        }
    }

    static FuncCode functionCode(std::string_view name) {
        static const char* const kNames[] = {"abs", "sin",  "cos",       "x",
                                             "pi",  "beat", "beatcount", "deg"};
        for (int32_t i = 0; i < 8; ++i) {
            if (core::equalsIgnoreCase(name, kNames[i])) {
                return static_cast<FuncCode>(i);
            }
        }
        return FuncCode::None;
    }

    char at(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

    void scan() {
        while (at(pos_) == ' ' || at(pos_) == '\t' || at(pos_) == '\n') {
            ++pos_;
        }
        const size_t start = pos_;
        const char c = at(pos_);
        if (isDigit(c)) {
            bool dot = false;
            ++pos_;
            while (isDigit(at(pos_)) || (at(pos_) == '.' && !dot)) {
                dot = dot || at(pos_) == '.';
                ++pos_;
            }
            kind_ = ETok::Number;
        } else if (isLetter(c)) {
            while (isLetter(at(pos_))) {
                ++pos_;
            }
            kind_ = ETok::Name;
        } else if (c == '(') {
            ++pos_;
            kind_ = ETok::Open;
        } else if (c == ')') {
            ++pos_;
            kind_ = ETok::Close;
        } else if (c == '+' || c == '-') {
            ++pos_;
            kind_ = ETok::Add;
        } else if (c == '*' || c == '/') {
            ++pos_;
            kind_ = ETok::Mul;
        } else {
            kind_ = ETok::End;
        }
        tokText_ = text_.substr(start, pos_ - start);
    }

    std::string_view text_;
    size_t pos_ = 0;
    ETok kind_ = ETok::End;
    std::string_view tokText_;
    int nesting_ = 0;
};

}  // namespace

Expression compileExpression(const core::String& text) {
    Compiler compiler(text.view());
    bool ok = false;
    auto root = compiler.sum(ok);
    return Expression(std::move(root), !ok);
}

}  // namespace kvx::expr
