#include "tesvarin/read/rotation.hpp"

#include <algorithm>

namespace tesvarin {

void Rotation::vector(const double* in, double* out, std::size_t stride) const {
    const double x = in[0], y = in[stride], z = in[2 * stride];
    for (int i = 0; i < 3; ++i) out[i * stride] = (m(i, 0) * x + m(i, 1) * y) + m(i, 2) * z;
}

void Rotation::tensor(const double T[3][3], double out[3][3]) const {
    double A[3][3];
    for (int i = 0; i < 3; ++i)
        for (int l = 0; l < 3; ++l) A[i][l] = (m(i, 0) * T[0][l] + m(i, 1) * T[1][l]) + m(i, 2) * T[2][l];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = (A[i][0] * m(j, 0) + A[i][1] * m(j, 1)) + A[i][2] * m(j, 2);
}

std::vector<double> Rotation::vectors(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    for (std::size_t k = 0; k + 3 <= v.size(); k += 3) vector(&v[k], &out[k], 1);
    return out;
}

void Rotation::vectors_in_place(double* v, std::size_t count) const {
    for (std::size_t k = 0; k < count; ++k) vector(&v[3 * k], &v[3 * k], 1);
}

void Rotation::tensor_right_first(const double T[3][3], double out[3][3]) const {
    double B[3][3];
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) B[k][j] = (T[k][0] * m(j, 0) + T[k][1] * m(j, 1)) + T[k][2] * m(j, 2);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = (m(i, 0) * B[0][j] + m(i, 1) * B[1][j]) + m(i, 2) * B[2][j];
}

std::vector<double> Rotation::lower_tensors(const std::vector<double>& v, bool right_first) const {
    std::vector<double> out(v.size());
    for (std::size_t k = 0; k + 6 <= v.size(); k += 6) {
        const double* s = &v[k];
        const double T[3][3] = {{s[0], s[1], s[3]}, {s[1], s[2], s[4]}, {s[3], s[4], s[5]}};
        double R[3][3];
        if (right_first) {
            tensor_right_first(T, R);
        } else {
            tensor(T, R);
        }
        const double lower[6] = {R[0][0], R[1][0], R[1][1], R[2][0], R[2][1], R[2][2]};
        std::copy(lower, lower + 6, &out[k]);
    }
    return out;
}

std::vector<double> Rotation::quadrupole(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    if (v.size() < 6) return out;
    const double T[3][3] = {{v[0], v[3], v[4]}, {v[3], v[1], v[5]}, {v[4], v[5], v[2]}};
    double R[3][3];
    tensor(T, R);
    const double upper[6] = {R[0][0], R[1][1], R[2][2], R[0][1], R[0][2], R[1][2]};
    std::copy(upper, upper + 6, out.begin());
    return out;
}

namespace {
// Index triples of the ten stored hyperpolarizability components.
constexpr int kHyper[10][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {0, 0, 2},
                               {0, 1, 2}, {1, 1, 2}, {0, 2, 2}, {1, 2, 2}, {2, 2, 2}};
}  // namespace

std::vector<double> Rotation::hyperpolarizability(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    if (v.size() < 10) return out;
    double T[3][3][3], A[3][3][3], B[3][3][3];
    for (int c = 0; c < 10; ++c) {
        const int a = kHyper[c][0], b = kHyper[c][1], d = kHyper[c][2];
        T[a][b][d] = T[a][d][b] = T[b][a][d] = T[b][d][a] = T[d][a][b] = T[d][b][a] = v[c];
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                A[i][j][k] = (m(i, 0) * T[0][j][k] + m(i, 1) * T[1][j][k]) + m(i, 2) * T[2][j][k];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                B[i][j][k] = (m(j, 0) * A[i][0][k] + m(j, 1) * A[i][1][k]) + m(j, 2) * A[i][2][k];
    for (int c = 0; c < 10; ++c) {
        const int i = kHyper[c][0], j = kHyper[c][1], k = kHyper[c][2];
        out[c] = (m(k, 0) * B[i][j][0] + m(k, 1) * B[i][j][1]) + m(k, 2) * B[i][j][2];
    }
    return out;
}

std::vector<double> Rotation::dipole_derivatives(const std::vector<double>& v) const {
    std::vector<double> rows = vectors(v), out(v.size());
    for (std::size_t a = 0; a + 9 <= v.size(); a += 9)
        for (std::size_t k = 0; k < 3; ++k) vector(&rows[a + k], &out[a + k], 3);
    return out;
}

std::vector<double> Rotation::polarizability_derivatives(const std::vector<double>& v) const {
    std::vector<double> rows = lower_tensors(v), out(v.size());
    for (std::size_t a = 0; a + 18 <= v.size(); a += 18)
        for (std::size_t c = 0; c < 6; ++c) vector(&rows[a + c], &out[a + c], 6);
    return out;
}

void Rotation::force_constants(int64_t natoms, double* ff) const {
    if (natoms < 1) return;
    const double* R = r_.data();  // R[3i + j] = M(j, i)
    auto at = [ff](int64_t r, int64_t c) -> double& {
        const int64_t hi = std::max(r, c), lo = std::min(r, c);
        return ff[static_cast<size_t>(hi * (hi + 1) / 2 + lo)];
    };
    for (int64_t I = 0; I < natoms; ++I) {
        for (int64_t K = 0; K <= I; ++K) {
            double B[3][3], T[3][3];
            for (int p = 0; p < 3; ++p)
                for (int q = 0; q < 3; ++q) B[p][q] = at(3 * I + p, 3 * K + q);
            // T = B M^T, then B' = M T.
            for (int s = 0; s < 3; ++s)
                for (int q = 0; q < 3; ++q) T[s][q] = B[s][0] * R[q] + B[s][1] * R[3 + q] + B[s][2] * R[6 + q];
            for (int p = 0; p < 3; ++p)
                for (int q = 0; q < 3; ++q)
                    at(3 * I + p, 3 * K + q) = R[p] * T[0][q] + R[3 + p] * T[1][q] + R[6 + p] * T[2][q];
        }
    }
}

}  // namespace tesvarin
