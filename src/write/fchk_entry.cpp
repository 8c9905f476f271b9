#include "tesvarin/write/fchk_entry.hpp"

namespace tesvarin {

FchkEntry FchkEntry::int_scalar(std::string label, int64_t v) {
    FchkEntry e;
    e.label = std::move(label), e.kind = Kind::IntScalar, e.int_value = v;
    return e;
}
FchkEntry FchkEntry::real_scalar(std::string label, double v) {
    FchkEntry e;
    e.label = std::move(label), e.kind = Kind::RealScalar, e.real_value = v;
    return e;
}
FchkEntry FchkEntry::text_entry(std::string label, std::string text) {
    FchkEntry e;
    e.label = std::move(label), e.kind = Kind::Text, e.text = std::move(text);
    return e;
}
FchkEntry FchkEntry::int_view(std::string label, const int64_t* v, size_t n) {
    FchkEntry e;
    e.label = std::move(label), e.kind = Kind::IntArray, e.ints = v, e.count = n;
    return e;
}
FchkEntry FchkEntry::real_view(std::string label, const double* v, size_t n) {
    FchkEntry e;
    e.label = std::move(label), e.kind = Kind::RealArray, e.reals = v, e.count = n;
    return e;
}
FchkEntry FchkEntry::int_view(std::string label, const std::vector<int64_t>& v) {
    return int_view(std::move(label), v.data(), v.size());
}
FchkEntry FchkEntry::real_view(std::string label, const std::vector<double>& v) {
    return real_view(std::move(label), v.data(), v.size());
}
FchkEntry FchkEntry::int_values(std::string label, std::vector<int64_t> v) {
    FchkEntry e = int_view(std::move(label), nullptr, v.size());
    e.owned_ints = std::move(v);
    return e;
}
FchkEntry FchkEntry::real_values(std::string label, std::vector<double> v) {
    FchkEntry e = real_view(std::move(label), nullptr, v.size());
    e.owned_reals = std::move(v);
    return e;
}

}  // namespace tesvarin
