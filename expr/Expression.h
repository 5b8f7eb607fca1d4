// Expression: compiled parameter expressions over time and beat.
//
// A parameter value in single quotes ('sin(x/500)*0.5+0.5') is compiled once
// at load time into a small tree of nodes and evaluated every frame with the
// track's time in milliseconds as x. Evaluation accumulates in single
// precision, walks the tree recursively and never allocates. A text that
// does not parse completely keeps the complete terms of its top-level sum and
// sets failed(); evaluation ignores the flag, consumers may test it.
//
// Depends on core only; `beat` and `beatcount` read core::globals().
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/String.h"

namespace kvx::expr {

class ExprNode {
  public:
    virtual ~ExprNode() = default;
    virtual float evaluate(float x) const = 0;
    virtual std::unique_ptr<ExprNode> clone() const = 0;
};

class ConstNode final : public ExprNode {
  public:
    explicit ConstNode(float v = 0.0f) : value(v) {}
    float evaluate(float x) const override;
    std::unique_ptr<ExprNode> clone() const override;

    float value;
};

// A factor: an optional sign, and "/" turns it into its reciprocal.
class FactorNode final : public ExprNode {
  public:
    float evaluate(float x) const override;
    std::unique_ptr<ExprNode> clone() const override;

    std::unique_ptr<ExprNode> operand;
    bool multiply = true;
    bool negate = false;
};

class ProductNode final : public ExprNode {
  public:
    float evaluate(float x) const override;
    std::unique_ptr<ExprNode> clone() const override;
    std::unique_ptr<ProductNode> cloneProduct() const;

    std::vector<std::unique_ptr<FactorNode>> factors;
    bool negate = false;
};

class SumNode final : public ExprNode {
  public:
    float evaluate(float x) const override;
    std::unique_ptr<ExprNode> clone() const override;
    std::unique_ptr<SumNode> cloneSum() const;

    std::vector<std::unique_ptr<ProductNode>> terms;
};

// The functions and names an expression knows, matched ignoring case; None
// (a node built without a name) evaluates to 0.
enum class FuncCode : int32_t {
    None = -1,
    Abs = 0,
    Sin = 1,
    Cos = 2,
    X = 3,
    Pi = 4,
    Beat = 5,
    BeatCount = 6,
    Deg = 7,
};

class FuncNode final : public ExprNode {
  public:
    explicit FuncNode(FuncCode code = FuncCode::None) : function(code) {}
    float evaluate(float x) const override;
    std::unique_ptr<ExprNode> clone() const override;

    FuncCode function;
    std::unique_ptr<SumNode> argument;
};

// The tree flattened into a short instruction list, run over a small fixed
// stack: the same operations in the same order as the recursive walk (so the
// same float results), without its calls. Constant sub-trees are folded at
// compile time by evaluating them once.
struct ExprOp {
    enum Code : uint8_t {
        PushX,
        PushConst,
        PushBeat,
        PushBeatCount,
        Abs,
        Sin,
        Cos,
        Deg,
        Recip,
        Neg,
        AddZero,  // top + 0.0f: a sum's accumulator starts at 0
        Add,
        Mul,
        AddConst,
        MulConst,
        // Fused pairs, so common shapes take fewer steps.
        PushXMul,  // PushX, MulConst
        ZeroAbs,
        ZeroSin,
        ZeroCos,
        ZeroDeg,  // AddZero, then the function
    };
    Code code;
    float value;
};

// A compiled expression. Copies share the compiled tree and program: both
// are immutable once compiled, so a copy behaves exactly like a deep one,
// and copying (which parsing and the layer factory do for every keyframe)
// costs a reference count instead of one allocation per node.
class Expression {
  public:
    Expression() = default;
    Expression(std::unique_ptr<SumNode> root, bool failed);

    // 0 without a root. Runs the flat program; the tree walk gives the same
    // result (evaluateTree, kept for trees too deep for the program's stack).
    float evaluate(float x) const;
    float evaluateTree(float x) const;
    bool failed() const { return failed_; }
    bool empty() const { return !compiled_ || !compiled_->root; }
    const SumNode* root() const { return compiled_ ? compiled_->root.get() : nullptr; }

    static constexpr int kMaxStack = 32;

  private:
    struct Compiled {
        std::unique_ptr<SumNode> root;
        std::vector<ExprOp> program;  // empty: walk the tree
    };
    std::shared_ptr<const Compiled> compiled_;
    bool failed_ = false;
};

// Always returns an Expression; see the file comment for partial results.
Expression compileExpression(const core::String& text);

}  // namespace kvx::expr
