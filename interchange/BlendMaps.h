#pragma once
// Alpha and beta maps: a window's edge blend and black level as pictures over its output frame
// (final pixel = input x alpha x (1 - beta) + beta), and back from such pictures to the values
// the box's blend can take.

#include "settings/SettingsState.h"

#include <QImage>
#include <QPoint>
#include <QStringList>

#include <array>

namespace trivel {

// One channel when red, green and blue agree, else three. alpha: 16 bits, the product of the four
// edges' ramps with their curve, shift and gamma gain, as the output preview applies them. beta:
// 8 bits, each black-level slot's lift (in 1/255) over its part of the frame.
QImage AlphaMapImage(const BlendRecord& b, int width, int height);
QImage BetaMapImage(const BlendRecord& b, int width, int height);

// What an alpha map (and a beta map, when there is one) comes to on the box.
struct BlendPlan {
    // The recognised values written over the record given: widths, shifts, transition gammas,
    // gamma gains, gamma offset and black levels; colour gain and offset, corners untouched.
    BlendRecord record;
    std::array<bool, 4> edgeRecognised{}; // left, right, top, bottom: a ramp the box can show
    bool alphaRepresentable = false; // the whole map within tolerance of what the box shows
    double worstAlpha = 0.0; // 0..1
    QPoint worstAlphaAt;
    bool betaRepresentable = true;
    double worstBeta = 0.0;
    QPoint worstBetaAt;
    QStringList report; // one line each, for the user
};

// Maps of any size are stretched to the frame first. gammaEmbedded becomes the gamma offset.
// A null beta leaves the black levels as they are.
BlendPlan RecogniseBlend(const QImage& alpha, const QImage& beta, int width, int height, double gammaEmbedded,
    const BlendRecord& base);

// Largest difference between an alpha map and the one the values would give, and where.
double AlphaDifference(const QImage& alpha, const BlendRecord& b, QPoint* at = nullptr);

} // namespace trivel
