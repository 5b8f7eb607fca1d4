// checkShow: parse the script like the player and report what it holds.
#include "script/CheckReport.h"

#include <string>

#include "core/Globals.h"
#include "layers/BlendMode.h"
#include "layers/LayerFactory.h"
#include "script/Demo.h"

namespace kvx::script {

namespace {

void warnAt(std::ostream& err, const Diagnostic& where, const std::string& message) {
    Diagnostic d = where;
    d.error = false;
    err << formatDiagnostic(d, core::String(std::string_view(message))).view() << "\n";
}

// A setting read through the wrong slot silently becomes 0.
void checkSlot(std::ostream& err, const Demo& demo, const char* name, layers::ValueKind wanted,
               const char* hint) {
    const layers::Keyframe k = demo.findDeclaration(name).current();
    if (k.hasValue() && k.kind != wanted &&
        !(wanted == layers::ValueKind::Float && k.hasExpression)) {
        Diagnostic d;
        d.file =
            demo.mappedText().files.empty() ? core::String() : demo.mappedText().files.front().name;
        warnAt(err, d, std::string(name) + " is read as " + hint);
    }
}

}  // namespace

int checkShow(std::ostream& out, std::ostream& err) {
    return checkShow(out, err, "script.zel", vfsFileSource());
}

int checkShow(std::ostream& out, std::ostream& err, const char* scriptName,
              const FileSource& source) {
    Demo demo(scriptName, source);
    const bool ok = demo.parse();
    for (const Diagnostic& w : demo.warnings()) {
        err << w.text.view() << "\n";
    }
    if (!ok) {
        if (demo.diagnostic()) {
            err << demo.diagnostic()->text.view() << "\n";
        } else {
            err << scriptName << ": error: the script does not parse\n";
        }
        return 1;
    }

    checkSlot(err, demo, "DURATION", layers::ValueKind::Int,
              "a whole number (write 60000, not 60000.0); it is 0");
    checkSlot(err, demo, "BEATEVENT", layers::ValueKind::Float,
              "a decimal (write 2036.0, not 2036); it is 0");
    checkSlot(err, demo, "BEATFALLOF", layers::ValueKind::Float,
              "a decimal (write 0.005); it is 0");

    const auto& g = core::globals();
    const float beatEvent = g.beatEvent.load(std::memory_order_relaxed);
    const int e = beatEvent > -2.0e9f && beatEvent < 2.0e9f ? static_cast<int>(beatEvent) : 0;
    out << scriptName << ": ok\n";
    out << "duration: " << demo.duration() << " ms\n";
    out << "sound configuration: " << demo.soundConfig().view() << "\n";
    out << "soundtrack: " << demo.soundtrack().view() << "\n";
    out << "beat event: " << beatEvent << " (channel slot " << e / 1000 << ", "
        << (e % 1000 == 0 ? std::string("any note") : "note " + std::to_string(e % 1000)) << ")\n";
    out << "beat fall-off: " << g.beatFalloff.load(std::memory_order_relaxed) << " per ms\n";

    const auto& descs = demo.layerDescs();
    const auto& positions = demo.layerPositions();
    std::vector<int> drawn;
    for (int i : demo.drawingOrder()) {
        const layers::LayerDesc& d = descs[static_cast<size_t>(i)];
        const Diagnostic& where = positions[static_cast<size_t>(i)];
        if (!layers::LayerFactory::isKnownType(d.type)) {
            warnAt(err, where, "unknown layer type '" + d.type.str() + "'; the layer is dropped");
            continue;
        }
        if (!layers::isBlendKeyword(d.blending)) {
            warnAt(err, where,
                   "unknown blending '" + d.blending.str() + "'; normal blending is used");
        }
        drawn.push_back(i);
    }
    out << "layers in drawing order: " << drawn.size() << "\n";
    for (int i : drawn) {
        const layers::LayerDesc& d = descs[static_cast<size_t>(i)];
        out << "  " << d.type.view() << " z=" << d.z << " start=" << static_cast<uint32_t>(d.start)
            << " end=" << static_cast<uint32_t>(d.end) << " target=" << d.target
            << " blending=" << layers::blendModeName(layers::blendModeFromKeyword(d.blending))
            << " params:";
        if (d.paramNames.empty()) {
            out << " (none)";
        }
        // The list is newest first; print oldest first.
        for (int p = d.paramNames.count() - 1; p >= 0; --p) {
            out << " " << d.paramNames.ref(p).view();
        }
        out << "\n";
    }
    return 0;
}

}  // namespace kvx::script
