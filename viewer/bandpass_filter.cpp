#include "bandpass_filter.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace kvt::viewer {

namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

//! An s-domain section (c0 + c1 s + c2 s^2) / (d0 + d1 s + d2 s^2).
struct AnalogSection {
    double c0, c1, c2;
    double d0, d1, d2;
};

//! Butterworth prototype poles of order n: for odd n the real pole -1 first,
//! then one pole of every conjugate pair in the upper half plane.
struct Prototype {
    bool hasReal = false;
    int complexCount = 0;
    Complex poles[5];
};

Prototype MakePrototype(int order) {
    Prototype p;
    p.hasReal = (order % 2) != 0;
    for (int k = 0; k < order / 2; ++k) {
        const double theta = std::numbers::pi * ((2.0 * k + 1.0) / (2.0 * order) + 0.5);
        p.poles[p.complexCount++] = Complex(std::cos(theta), std::sin(theta));
    }
    return p;
}

//! Warped analogue frequency (Hz) of a digital frequency f for sample interval
//! dt, for the bilinear transform with T = 2.
double Warp(double f, double dt) { return std::tan(std::numbers::pi * f * dt) / kTwoPi; }

//! Bilinear transform (T = 2) of an analogue section into a digital one.
BiquadSection Bilinear(const AnalogSection& s) {
    const double scale = s.d2 + s.d1 + s.d0;
    BiquadSection out;
    out.a1 = static_cast<float>(2.0 * (s.d0 - s.d2) / scale);
    out.a2 = static_cast<float>((s.d2 - s.d1 + s.d0) / scale);
    out.b0 = static_cast<float>((s.c2 + s.c1 + s.c0) / scale);
    out.b1 = static_cast<float>(2.0 * (s.c0 - s.c2) / scale);
    out.b2 = static_cast<float>((s.c2 - s.c1 + s.c0) / scale);
    return out;
}

void Add(FilterDesign& d, const AnalogSection& s) {
    if (d.count < kMaxSections) d.sections[static_cast<std::size_t>(d.count++)] = Bilinear(s);
}

//! The two roots of s^2 - q s + a = 0 for a complex q, as (q +- sqrt(q^2 - 4a)) / 2.
void SplitPole(Complex q, double a, Complex& p1, Complex& p2) {
    const Complex r = std::sqrt(q * q - 4.0 * a);  // principal root: half the argument
    p1 = (q + r) / 2.0;
    p2 = (q - r) / 2.0;
}

AnalogSection Quadratic(double num0, double num1, double num2, Complex pole) {
    return {num0, num1, num2, std::norm(pole), -2.0 * pole.real(), 1.0};
}

void DesignBandPass(FilterDesign& d, const Prototype& p, double flw, double fhw) {
    const double a = kTwoPi * kTwoPi * flw * fhw;
    const double b = kTwoPi * (fhw - flw);
    if (p.hasReal) Add(d, {0.0, b, 0.0, a, b, 1.0});  // -B Re(p) with p = -1
    for (int k = 0; k < p.complexCount; ++k) {
        Complex p1, p2;
        SplitPole(b * p.poles[k], a, p1, p2);
        Add(d, Quadratic(0.0, b, 0.0, p1));
        Add(d, Quadratic(0.0, b, 0.0, p2));
    }
}

void DesignBandReject(FilterDesign& d, const Prototype& p, double flw, double fhw) {
    const double a = kTwoPi * kTwoPi * flw * fhw;
    const double b = kTwoPi * (fhw - flw);
    if (p.hasReal) Add(d, {a, 0.0, 1.0, a, b, 1.0});
    for (int k = 0; k < p.complexCount; ++k) {
        Complex p1, p2;
        SplitPole(b / p.poles[k], a, p1, p2);
        Add(d, Quadratic(a, 0.0, 1.0, p1));
        Add(d, Quadratic(a, 0.0, 1.0, p2));
    }
}

void DesignLowPass(FilterDesign& d, const Prototype& p, double fw) {
    const double wc = kTwoPi * fw;
    if (p.hasReal) Add(d, {wc, 0.0, 0.0, wc, 1.0, 0.0});
    for (int k = 0; k < p.complexCount; ++k) Add(d, Quadratic(wc * wc, 0.0, 0.0, wc * p.poles[k]));
}

void DesignHighPass(FilterDesign& d, const Prototype& p, double fw) {
    const double wc = kTwoPi * fw;
    if (p.hasReal) Add(d, {0.0, 1.0, 0.0, wc, 1.0, 0.0});
    // The prototype poles lie on the unit circle, so inverting them keeps the
    // real part (times wc) and the modulus wc.
    for (int k = 0; k < p.complexCount; ++k) Add(d, Quadratic(0.0, 0.0, 1.0, wc * p.poles[k]));
}

}  // namespace

const char* FilterTypeCode(int type) noexcept {
    switch (type) {
        case 0: return "BP";
        case 1: return "LP";
        case 2: return "BR";
        case 3: return "HP";
        default: return nullptr;
    }
}

const char* FilterStatusText(FilterStatus status) noexcept {
    switch (status) {
        case FilterStatus::Ok: return "filter applied";
        case FilterStatus::BadType: return "unknown filter type";
        case FilterStatus::BadInterval: return "sample interval is not a positive number";
        case FilterStatus::BadCorners: return "corner frequencies do not describe a filter";
    }
    return "unknown filter status";
}

FilterStatus DesignFilter(FilterDesign& design, double dt, int type, int order, float f1, float f2) {
    if (FilterTypeCode(type) == nullptr) return FilterStatus::BadType;
    // The interval is used in single precision, as the samples are.
    const float dtf = static_cast<float>(dt);
    if (!std::isfinite(dtf) || !(dtf > 0.0f)) return FilterStatus::BadInterval;
    if (!std::isfinite(f1) || !std::isfinite(f2) || f1 < 0.0f || f2 < 0.0f) return FilterStatus::BadCorners;
    if (order < kMinFilterOrder) order = kMinFilterOrder;
    if (order > kMaxFilterOrder) order = kMaxFilterOrder;

    const double dtd = dtf;
    // A corner at or above half the sample rate has no warped frequency (the
    // tangent passes infinity there); it stands for "no edge on that side".
    const bool lowOpen = f1 <= 0.0f;
    const bool highOpen = static_cast<double>(f2) * dtd >= 0.5;
    const bool lowAboveNyquist = static_cast<double>(f1) * dtd >= 0.5;

    FilterDesign d;
    const Prototype proto = MakePrototype(order);
    switch (static_cast<FilterType>(type)) {
        case FilterType::BandPass:
            if (!(f1 < f2) || lowAboveNyquist) return FilterStatus::BadCorners;
            if (lowOpen && highOpen) break;  // passes everything
            if (lowOpen) DesignLowPass(d, proto, Warp(f2, dtd));
            else if (highOpen) DesignHighPass(d, proto, Warp(f1, dtd));
            else DesignBandPass(d, proto, Warp(f1, dtd), Warp(f2, dtd));
            break;
        case FilterType::BandReject:
            if (!(f1 < f2) || lowAboveNyquist || (lowOpen && highOpen)) return FilterStatus::BadCorners;
            if (lowOpen) DesignHighPass(d, proto, Warp(f2, dtd));
            else if (highOpen) DesignLowPass(d, proto, Warp(f1, dtd));
            else DesignBandReject(d, proto, Warp(f1, dtd), Warp(f2, dtd));
            break;
        case FilterType::LowPass:
            if (f2 <= 0.0f) return FilterStatus::BadCorners;
            if (!highOpen) DesignLowPass(d, proto, Warp(f2, dtd));
            break;
        case FilterType::HighPass:
            if (lowAboveNyquist) return FilterStatus::BadCorners;
            if (!lowOpen) DesignHighPass(d, proto, Warp(f1, dtd));
            break;
    }
    design = d;
    return FilterStatus::Ok;
}

FilterStatus ApplyFilter(float* samples, std::size_t count, double dt, int type, int order, float f1,
                         float f2, int /*zeroPhase*/) {
    FilterDesign design;
    const FilterStatus status = DesignFilter(design, dt, type, order, f1, f2);
    if (status != FilterStatus::Ok) return status;
    RunFilter(design, samples, count);
    return FilterStatus::Ok;
}

FilterStatus ApplyBandPass(float* samples, std::size_t count, double dt, float low, float high) {
    return ApplyFilter(samples, count, dt, static_cast<int>(FilterType::BandPass), 3, low, high, 1);
}

}  // namespace kvt::viewer
