// Flattening an expression tree into its instruction list, and running it.
//
// Each rule emits code that leaves its value on the stack: a product is its
// first factor (1 * f is exact) times the others, a sum is its first term
// plus 0 (so -0 becomes +0 as with an accumulator starting at 0) plus the
// others. A sub-tree that reads neither x nor the beat is evaluated once here
// and pushed as a constant; it is the same float computation either way.
#include <cmath>

#include "core/Globals.h"
#include "expr/Expression.h"

namespace kvx::expr {

namespace {

bool isConstant(const ExprNode* n);

bool isConstantSum(const SumNode* s) {
    for (const auto& t : s->terms) {
        for (const auto& f : t->factors) {
            if (!isConstant(f.get())) {
                return false;
            }
        }
    }
    return true;
}

bool isConstant(const ExprNode* n) {
    if (n == nullptr || dynamic_cast<const ConstNode*>(n) != nullptr) {
        return true;
    }
    if (auto* f = dynamic_cast<const FactorNode*>(n)) {
        return isConstant(f->operand.get());
    }
    if (auto* s = dynamic_cast<const SumNode*>(n)) {
        return isConstantSum(s);
    }
    if (auto* fn = dynamic_cast<const FuncNode*>(n)) {
        switch (fn->function) {
            case FuncCode::X:
            case FuncCode::Beat:
            case FuncCode::BeatCount:
                return false;
            case FuncCode::Abs:
            case FuncCode::Sin:
            case FuncCode::Cos:
            case FuncCode::Deg:
                return fn->argument == nullptr || isConstantSum(fn->argument.get());
            default:
                return true;
        }
    }
    return false;
}

class Emitter {
  public:
    explicit Emitter(std::vector<ExprOp>& out) : out_(out) {}

    void sum(const SumNode& s) {
        if (s.terms.empty()) {
            push(ExprOp::PushConst, 0.0f);
            return;
        }
        for (size_t i = 0; i < s.terms.size(); ++i) {
            const ProductNode& t = *s.terms[i];
            if (i == 0) {
                product(t);
                op(ExprOp::AddZero);
            } else if (t.factors.size() == 1 && isConstant(t.factors[0].get())) {
                op(ExprOp::AddConst, t.evaluate(0.0f));
            } else {
                product(t);
                pop(ExprOp::Add);
            }
        }
    }

    int maxDepth() const { return maxDepth_; }

  private:
    void product(const ProductNode& p) {
        for (size_t i = 0; i < p.factors.size(); ++i) {
            const FactorNode& f = *p.factors[i];
            if (i > 0 && isConstant(&f)) {
                op(ExprOp::MulConst, f.evaluate(0.0f));
                continue;
            }
            factor(f);
            if (i > 0) {
                pop(ExprOp::Mul);
            }
        }
        if (p.factors.empty()) {
            push(ExprOp::PushConst, 1.0f);
        }
        if (p.negate) {
            op(ExprOp::Neg);
        }
    }

    void factor(const FactorNode& f) {
        if (isConstant(&f)) {
            push(ExprOp::PushConst, f.evaluate(0.0f));
            return;
        }
        operand(*f.operand);
        if (!f.multiply) {
            op(ExprOp::Recip);
        }
        if (f.negate) {
            op(ExprOp::Neg);
        }
    }

    void operand(const ExprNode& n) {
        if (auto* s = dynamic_cast<const SumNode*>(&n)) {
            sum(*s);
            return;
        }
        auto* fn = dynamic_cast<const FuncNode*>(&n);
        if (fn == nullptr) {  // a constant; other node kinds do not occur as operands
            push(ExprOp::PushConst, n.evaluate(0.0f));
            return;
        }
        switch (fn->function) {
            case FuncCode::X:
                push(ExprOp::PushX);  // an argument of x is never evaluated for effect
                return;
            case FuncCode::Beat:
                push(ExprOp::PushBeat);
                return;
            case FuncCode::BeatCount:
                push(ExprOp::PushBeatCount);
                return;
            case FuncCode::Abs:
            case FuncCode::Sin:
            case FuncCode::Cos:
            case FuncCode::Deg:
                if (fn->argument == nullptr) {
                    push(ExprOp::PushConst, fn->evaluate(0.0f));
                    return;
                }
                sum(*fn->argument);
                op(fn->function == FuncCode::Abs   ? ExprOp::Abs
                   : fn->function == FuncCode::Sin ? ExprOp::Sin
                   : fn->function == FuncCode::Cos ? ExprOp::Cos
                                                   : ExprOp::Deg);
                return;
            default:
                push(ExprOp::PushConst, fn->evaluate(0.0f));
                return;
        }
    }

    void push(ExprOp::Code c, float v = 0.0f) {
        out_.push_back(ExprOp{c, v});
        if (++depth_ > maxDepth_) {
            maxDepth_ = depth_;
        }
    }
    void pop(ExprOp::Code c) {
        out_.push_back(ExprOp{c, 0.0f});
        --depth_;
    }
    void op(ExprOp::Code c, float v = 0.0f) { out_.push_back(ExprOp{c, v}); }

    std::vector<ExprOp>& out_;
    int depth_ = 0;
    int maxDepth_ = 0;
};

// Fuses neighbouring instructions where the result stays bit-identical.
void fuse(std::vector<ExprOp>& code) {
    std::vector<ExprOp> out;
    out.reserve(code.size());
    for (size_t i = 0; i < code.size(); ++i) {
        const ExprOp& o = code[i];
        const ExprOp* next = i + 1 < code.size() ? &code[i + 1] : nullptr;
        if (o.code == ExprOp::PushX && next != nullptr && next->code == ExprOp::MulConst) {
            out.push_back(ExprOp{ExprOp::PushXMul, next->value});
            ++i;
        } else if (o.code == ExprOp::AddZero && next != nullptr &&
                   (next->code == ExprOp::Abs || next->code == ExprOp::Sin ||
                    next->code == ExprOp::Cos || next->code == ExprOp::Deg)) {
            const ExprOp::Code fused = next->code == ExprOp::Abs   ? ExprOp::ZeroAbs
                                       : next->code == ExprOp::Sin ? ExprOp::ZeroSin
                                       : next->code == ExprOp::Cos ? ExprOp::ZeroCos
                                                                   : ExprOp::ZeroDeg;
            out.push_back(ExprOp{fused, 0.0f});
            ++i;
        } else if (o.code == ExprOp::AddZero && next != nullptr && next->code == ExprOp::AddConst &&
                   !std::signbit(next->value)) {
            // (a + 0) + c equals a + c unless both a and c are -0.
            continue;
        } else {
            out.push_back(o);
        }
    }
    code.swap(out);
}

}  // namespace

Expression::Expression(std::unique_ptr<SumNode> root, bool failed) : failed_(failed) {
    if (!root) {
        return;
    }
    auto compiled = std::make_shared<Compiled>();
    Emitter emitter(compiled->program);
    emitter.sum(*root);
    if (emitter.maxDepth() > kMaxStack) {
        compiled->program.clear();  // too deep for the fixed stack: walk the tree
    }
    fuse(compiled->program);
    compiled->program.shrink_to_fit();
    compiled->root = std::move(root);
    compiled_ = std::move(compiled);
}

float Expression::evaluateTree(float x) const {
    return compiled_ && compiled_->root ? compiled_->root->evaluate(x) : 0.0f;
}

float Expression::evaluate(float x) const {
    if (!compiled_) {
        return 0.0f;
    }
    if (compiled_->program.empty()) {
        return evaluateTree(x);
    }
    float stack[kMaxStack];
    int top = -1;
    for (const ExprOp& o : compiled_->program) {
        switch (o.code) {
            case ExprOp::PushX:
                stack[++top] = x;
                break;
            case ExprOp::PushConst:
                stack[++top] = o.value;
                break;
            case ExprOp::PushBeat:
                stack[++top] = core::globals().beatPulse.load(std::memory_order_relaxed);
                break;
            case ExprOp::PushBeatCount:
                stack[++top] = static_cast<float>(static_cast<uint32_t>(
                    core::globals().beatCount.load(std::memory_order_relaxed)));
                break;
            case ExprOp::Abs:
                stack[top] = std::fabs(stack[top]);
                break;
            case ExprOp::Sin:
                stack[top] = std::sin(stack[top]);
                break;
            case ExprOp::Cos:
                stack[top] = std::cos(stack[top]);
                break;
            case ExprOp::Deg:
                stack[top] = static_cast<float>(std::fmod(static_cast<double>(stack[top]), 360.0));
                break;
            case ExprOp::Recip: {
                const float v = stack[top];
                stack[top] = (v == 0.0f || std::isnan(v)) ? 0.0f : 1.0f / v;
                break;
            }
            case ExprOp::Neg:
                stack[top] = -stack[top];
                break;
            case ExprOp::AddZero:
                stack[top] = 0.0f + stack[top];
                break;
            case ExprOp::Add:
                --top;
                stack[top] = stack[top] + stack[top + 1];
                break;
            case ExprOp::Mul:
                --top;
                stack[top] = stack[top] * stack[top + 1];
                break;
            case ExprOp::AddConst:
                stack[top] = stack[top] + o.value;
                break;
            case ExprOp::MulConst:
                stack[top] = stack[top] * o.value;
                break;
            case ExprOp::PushXMul:
                stack[++top] = x * o.value;
                break;
            case ExprOp::ZeroAbs:
                stack[top] = std::fabs(0.0f + stack[top]);
                break;
            case ExprOp::ZeroSin:
                stack[top] = std::sin(0.0f + stack[top]);
                break;
            case ExprOp::ZeroCos:
                stack[top] = std::cos(0.0f + stack[top]);
                break;
            case ExprOp::ZeroDeg:
                stack[top] =
                    static_cast<float>(std::fmod(static_cast<double>(0.0f + stack[top]), 360.0));
                break;
        }
    }
    return stack[0];
}

}  // namespace kvx::expr
