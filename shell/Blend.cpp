// Blend modes as GL blend functions.
#include "shell/Blend.h"

#include <GL/gl.h>

namespace kvx::shell {

void applyBlendMode(layers::BlendMode mode) {
    glEnable(GL_BLEND);
    switch (mode) {
        case layers::BlendMode::Normal:
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case layers::BlendMode::Additive:
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            break;
        case layers::BlendMode::Overwrite:
            glBlendFunc(GL_ONE, GL_ZERO);
            break;
    }
}

}  // namespace kvx::shell
