#pragma once

namespace kv {

/// Filter type codes of equaliser and crossover bands, as stored in a band record's type
/// byte and taken by the coefficient designer. 6..21 are crossover sections: even codes the
/// low-pass family, odd codes the high-pass family.
enum FilterType : int {
    kFilterNone = 0,
    kFilterPeq = 1,
    kFilterLowPass = 2,
    kFilterHighPass = 3,
    kFilterLowShelf = 4,
    kFilterHighShelf = 5,
    kFilterChebyshevLowPass = 6,
    kFilterChebyshevHighPass = 7,
    kFilterLowPassQ0577 = 8,
    kFilterHighPassQ0577 = 9,
    kFilterLowPassFirstOrder = 10,
    kFilterHighPassFirstOrder = 11,
    kFilterLowPassQ0707 = 12,
    kFilterHighPassQ0707 = 13,
    kFilterLowPassQ1 = 14,
    kFilterHighPassQ1 = 15,
    kFilterLowPassQ05 = 16,
    kFilterHighPassQ05 = 17,
    kFilterLowPassQ0707b = 18,
    kFilterHighPassQ0707b = 19,
    kFilterLowPassQ0541 = 20,
    kFilterHighPassQ0541 = 21,
    kFilterLastType = 21,
};

/// True for the crossover section codes 6..21.
constexpr bool IsCrossoverType(int type) {
    return type >= kFilterChebyshevLowPass && type <= kFilterLastType;
}
/// True for the low-pass family: the plain low-pass and the even crossover codes.
constexpr bool IsLowPassFamily(int type) {
    return type >= kFilterLowPass && type <= kFilterLowPassQ0541 && type % 2 == 0 &&
           type != kFilterLowShelf;
}

/// The four settings of one equaliser band. The image and the designer hold them in double
/// precision (EqBand); the curve panels keep them in float, the precision their plot and
/// edit arithmetic works in, by deriving their band structures from BasicEqBand<float>.
template <typename Real>
struct BasicEqBand {
    Real gainDb = 0;
    Real freqHz = 0;
    Real q = 0;
    int type = kFilterNone;
};

using EqBand = BasicEqBand<double>;

} // namespace kv
