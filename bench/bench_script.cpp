// Script engine benchmarks: expression evaluation against the same formulas
// written as plain C++, and parse-plus-build time of large generated scripts.
//
// Counters: ns_expr and ns_cpp are nanoseconds per evaluation, "ratio" is
// their quotient (goal: at most 4). The loading benchmarks report ms for the
// input size n and for 2n; there "ratio" is ms(2n) / ms(n) (goal: about 2,
// and ms(n) under 1000).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <string>

#include "expr/Expression.h"
#include "layers/LayerFactory.h"
#include "script/Demo.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace script = kvx::script;
namespace expr = kvx::expr;
namespace layers = kvx::layers;

__attribute__((noinline)) float plainSin(float x) {
    return std::sin(x / 1000.0f) * 0.5f + 0.5f;
}

// Twenty nodes: sum, product, three factors with their operands, and the
// sums, products and factors inside the two function arguments.
constexpr const char* kTwentyNodes = "sin(x/1000)*cos(x/500)*x";
__attribute__((noinline)) float plainTwenty(float x) {
    return std::sin(x / 1000.0f) * std::cos(x / 500.0f) * x;
}

int countNodes(const expr::ExprNode* n) {
    if (n == nullptr) {
        return 0;
    }
    if (auto* s = dynamic_cast<const expr::SumNode*>(n)) {
        int c = 1;
        for (const auto& t : s->terms) {
            c += countNodes(t.get());
        }
        return c;
    }
    if (auto* p = dynamic_cast<const expr::ProductNode*>(n)) {
        int c = 1;
        for (const auto& f : p->factors) {
            c += countNodes(f.get());
        }
        return c;
    }
    if (auto* f = dynamic_cast<const expr::FactorNode*>(n)) {
        return 1 + countNodes(f->operand.get());
    }
    if (auto* fn = dynamic_cast<const expr::FuncNode*>(n)) {
        return 1 + countNodes(fn->argument.get());
    }
    return 1;
}

template <typename F>
double nsPerCall(F&& f, int n, float& sink) {
    const auto t0 = Clock::now();
    float acc = 0.0f;
    for (int i = 0; i < n; ++i) {
        acc += f(static_cast<float>(i));
    }
    const auto t1 = Clock::now();
    sink += acc;
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
}

void compareWithPlain(benchmark::State& state, const char* text, float (*plain)(float)) {
    const expr::Expression e = expr::compileExpression(text);
    double exprNs = 0.0;
    double cppNs = 0.0;
    float sink = 0.0f;
    constexpr int kBatch = 4096;
    for (auto _ : state) {
        exprNs += nsPerCall([&e](float x) { return e.evaluate(x); }, kBatch, sink);
        cppNs += nsPerCall(plain, kBatch, sink);
    }
    benchmark::DoNotOptimize(sink);
    const double iters = static_cast<double>(state.iterations());
    state.counters["ns_expr"] = exprNs / iters;
    state.counters["ns_cpp"] = cppNs / iters;
    state.counters["ratio"] = exprNs / cppNs;
    state.counters["nodes"] = countNodes(e.root());
}

void BM_ExprSinFormula(benchmark::State& state) {
    compareWithPlain(state, "sin(x/1000)*0.5+0.5", plainSin);
}
BENCHMARK(BM_ExprSinFormula);

void BM_ExprTwentyNodes(benchmark::State& state) {
    compareWithPlain(state, kTwentyNodes, plainTwenty);
}
BENCHMARK(BM_ExprTwentyNodes);

// A layer that binds every parameter it is given, as effects do.
class BenchLayer : public layers::Layer {
  public:
    bool loadParameters(const layers::LayerDesc& desc) override {
        for (int i = 0; i < desc.paramCount() && i < 32; ++i) {
            bindFloat(desc.paramNames.ref(i), &values[i]);
        }
        return true;
    }
    void draw() override {}
    float values[32] = {};
};

std::unique_ptr<layers::Layer> makeBenchLayer() {
    return std::make_unique<BenchLayer>();
}

std::string manyLayers(int layerCount, int params) {
    std::string s = "<ZEL><DECLARATIONS>DURATION = 60000;</DECLARATIONS><SCRIPT>\n";
    for (int l = 0; l < layerCount; ++l) {
        s += "<LAYER>\n$TYPE = \"plasma\"; $START = " + std::to_string(l) +
             "; $END = -1; $Z = " + std::to_string(l % 7) + ";\n<PARAM>\n";
        for (int p = 0; p < params; ++p) {
            s += "  p" + std::to_string(p) + "{" + std::to_string(p * 100) + "} = " +
                 (p % 4 == 0 ? std::string("'sin(x/1000)*0.5+0.5'") : std::to_string(p) + ".5") +
                 ";\n";
        }
        s += "</PARAM>\n</LAYER>\n";
    }
    return s + "</SCRIPT></ZEL>\n";
}

std::string manyKeyframes(int keyframes) {
    std::string s = "<ZEL><SCRIPT><LAYER>$TYPE = \"plasma\";<PARAM>\n";
    for (int k = 0; k < keyframes; ++k) {
        s += "  level{" + std::to_string(k * 10) + "} = " + std::to_string(k % 100) + ".0;\n";
    }
    return s + "</PARAM></LAYER></SCRIPT></ZEL>\n";
}

double loadMs(const std::string& text) {
    const auto t0 = Clock::now();
    script::Demo demo("script.zel",
                      [&text](const char*) -> std::optional<std::string> { return text; });
    int count = 0;
    auto built = demo.buildLayers(count);
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(built);
    if (!built) {
        return -1.0;
    }
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

void loadAndDouble(benchmark::State& state, const std::string& small, const std::string& large) {
    layers::LayerFactory::registerType("plasma", makeBenchLayer);
    double msSmall = 0.0;
    double msLarge = 0.0;
    for (auto _ : state) {
        msSmall += loadMs(small);
        msLarge += loadMs(large);
    }
    const double iters = static_cast<double>(state.iterations());
    state.counters["ms_n"] = msSmall / iters;
    state.counters["ms_2n"] = msLarge / iters;
    state.counters["ratio"] = msLarge / msSmall;
    layers::LayerFactory::clearRegistrations();
}

void BM_Load5000Layers20Params(benchmark::State& state) {
    loadAndDouble(state, manyLayers(5000, 20), manyLayers(10000, 20));
}
BENCHMARK(BM_Load5000Layers20Params)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Load10000Keyframes(benchmark::State& state) {
    loadAndDouble(state, manyKeyframes(10000), manyKeyframes(20000));
}
BENCHMARK(BM_Load10000Keyframes)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
