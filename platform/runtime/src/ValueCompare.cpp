// Equality, total order and hash of Value.

#include <platform_runtime/Value.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>

#include <platform_runtime/NSObject.h>

namespace {

NSComparisonResult order(bool less, bool greater) {
    return less ? NSOrderedAscending : (greater ? NSOrderedDescending : NSOrderedSame);
}

template <class T>
NSComparisonResult three(const T& a, const T& b) {
    return order(a < b, b < a);
}

// Doubles with NaN ordered before every number and equal to itself.
NSComparisonResult compareDoubles(double a, double b) {
    const bool na = std::isnan(a), nb = std::isnan(b);
    if (na || nb) return order(na && !nb, nb && !na);
    return three(a, b);
}

// Exact comparison of an integer with a finite double.
NSComparisonResult compareIntDouble(int64_t i, double d) {
    if (d >= 9223372036854775808.0) return NSOrderedAscending;
    if (d < -9223372036854775808.0) return NSOrderedDescending;
    const auto di = static_cast<int64_t>(d);  // truncated toward zero, in range
    if (i != di) return three(i, di);
    const double frac = d - static_cast<double>(di);
    return order(frac > 0, frac < 0);
}

NSComparisonResult compareUIntDouble(uint64_t u, double d) {
    if (d < 0) return NSOrderedDescending;
    if (d >= 18446744073709551616.0) return NSOrderedAscending;
    const auto du = static_cast<uint64_t>(d);
    if (u != du) return three(u, du);
    return order(d - static_cast<double>(du) > 0, false);
}

NSComparisonResult reverse(NSComparisonResult r) { return static_cast<NSComparisonResult>(-static_cast<int>(r)); }

NSComparisonResult compareDecimalDouble(const NSDecimal& x, double d) {
    if (std::isnan(d) || x.isNaN()) return compareDoubles(x.isNaN() ? NAN : 0.0, std::isnan(d) ? NAN : 0.0);
    // Beyond the decimal's 38 digits the double's own precision is all there is to compare.
    if (std::fabs(d) >= 1e38) return compareDoubles(x.doubleValue(), d);
    return x.compare(NSDecimal::fromDouble(d));
}

// Rank of the kind group in the total order.
int groupRank(Value::Type t) {
    switch (t) {
        case Value::Type::Null: return 0;
        case Value::Type::Bool:
        case Value::Type::Int:
        case Value::Type::UInt:
        case Value::Type::Double:
        case Value::Type::Decimal: return 1;
        case Value::Type::String: return 2;
        case Value::Type::Data: return 3;
        case Value::Type::Date: return 4;
        case Value::Type::Array: return 5;
        case Value::Type::Dictionary: return 6;
        case Value::Type::Set: return 7;
        case Value::Type::Geometry: return 8;
        case Value::Type::Object: return 9;
    }
    return 0;
}

NSComparisonResult compareNumbers(const Value& a, const Value& b) {
    using T = Value::Type;
    // Bool takes part as 0/1, as the platform's number class does.
    auto kind = [](const Value& v) { return v.type() == T::Bool ? T::Int : v.type(); };
    const T ka = kind(a), kb = kind(b);
    auto intOf = [](const Value& v) { return v.type() == T::Bool ? int64_t{v.asBool()} : v.asInt(); };

    if (ka == T::Decimal || kb == T::Decimal) {
        if (ka == T::Double) return reverse(compareDecimalDouble(b.asDecimal(), a.asDouble()));
        if (kb == T::Double) return compareDecimalDouble(a.asDecimal(), b.asDouble());
        return a.decimalValue().compare(b.decimalValue());
    }
    if (ka == T::Double || kb == T::Double) {
        if (ka == T::Double && kb == T::Double) return compareDoubles(a.asDouble(), b.asDouble());
        if (ka == T::Double) {
            const double d = a.asDouble();
            if (std::isnan(d)) return NSOrderedAscending;
            return reverse(kb == T::UInt ? compareUIntDouble(b.asUInt(), d) : compareIntDouble(intOf(b), d));
        }
        const double d = b.asDouble();
        if (std::isnan(d)) return NSOrderedDescending;
        return ka == T::UInt ? compareUIntDouble(a.asUInt(), d) : compareIntDouble(intOf(a), d);
    }
    if (ka == T::UInt && kb == T::UInt) return three(a.asUInt(), b.asUInt());
    if (ka == T::UInt) {
        const int64_t i = intOf(b);
        return i < 0 ? NSOrderedDescending : three(a.asUInt(), static_cast<uint64_t>(i));
    }
    if (kb == T::UInt) {
        const int64_t i = intOf(a);
        return i < 0 ? NSOrderedAscending : three(static_cast<uint64_t>(i), b.asUInt());
    }
    return three(intOf(a), intOf(b));
}

template <class Seq>
NSComparisonResult compareSequences(const Seq& a, const Seq& b) {
    auto ia = a.begin(), ib = b.begin();
    for (; ia != a.end() && ib != b.end(); ++ia, ++ib) {
        if (const auto r = ia->compare(*ib); r != NSOrderedSame) return r;
    }
    return order(ia == a.end() && ib != b.end(), ia != a.end() && ib == b.end());
}

std::size_t mix(std::size_t seed, std::size_t h) {
    return seed ^ (h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::size_t hashDouble(double d) {
    if (std::isnan(d)) return 0x7ff8;
    if (d == 0) d = 0;  // -0.0 == 0.0
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return std::hash<uint64_t>{}(bits);
}

}  // namespace

NSComparisonResult Value::compare(const Value& other) const {
    const int ra = groupRank(type_), rb = groupRank(other.type_);
    if (ra != rb) return three(ra, rb);
    switch (type_) {
        case Type::Null: return NSOrderedSame;
        case Type::Bool:
        case Type::Int:
        case Type::UInt:
        case Type::Double:
        case Type::Decimal: return compareNumbers(*this, other);
        case Type::String: {
            const int c = asString().compare(other.asString());
            return order(c < 0, c > 0);
        }
        case Type::Data: return three(asData(), other.asData());
        case Type::Date: return compareDoubles(p_.d, other.p_.d);
        case Type::Array: return compareSequences(asArray(), other.asArray());
        case Type::Set: return compareSequences(asSet(), other.asSet());
        case Type::Dictionary: {
            const Dictionary& a = asDictionary();
            const Dictionary& b = other.asDictionary();
            auto ia = a.begin(), ib = b.begin();
            for (; ia != a.end() && ib != b.end(); ++ia, ++ib) {
                if (const auto r = ia->first.compare(ib->first); r != NSOrderedSame) return r;
                if (const auto r = ia->second.compare(ib->second); r != NSOrderedSame) return r;
            }
            return order(ia == a.end() && ib != b.end(), ia != a.end() && ib == b.end());
        }
        case Type::Geometry: {
            const Geo& a = geo();
            const Geo& b = other.geo();
            if (a.kind != b.kind) return three(a.kind, b.kind);
            for (int i = 0; i < 4; ++i) {
                if (const auto r = compareDoubles(a.v[i], b.v[i]); r != NSOrderedSame) return r;
            }
            return NSOrderedSame;
        }
        case Type::Object: {
            const NSObject* a = asObject().get();
            const NSObject* b = other.asObject().get();
            if (a == b || a->isEqual(*b)) return NSOrderedSame;
            // Objects have no natural order: hash, then address, keeps a fixed one per pair.
            const std::size_t ha = a->hash(), hb = b->hash();
            if (ha != hb) return three(ha, hb);
            return three(reinterpret_cast<uintptr_t>(a), reinterpret_cast<uintptr_t>(b));
        }
    }
    return NSOrderedSame;
}

std::size_t Value::hash() const {
    switch (type_) {
        case Type::Null: return 0x6e756c6c;
        // Equal numbers of different kinds share one value, so they hash through it: for
        // integers and doubles the double is exact whenever they are equal, and a decimal equal
        // to either converts to that same double.
        case Type::Bool:
        case Type::Int:
        case Type::UInt:
        case Type::Double: return hashDouble(doubleValue());
        case Type::Decimal: return hashDouble(asDecimal().doubleValue());
        case Type::String: return std::hash<std::string_view>{}(asString());
        case Type::Data: {
            const Data& d = asData();
            return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(d.data()), d.size()));
        }
        case Type::Date: return mix(4, hashDouble(p_.d));
        case Type::Array:
        case Type::Set: {
            std::size_t h = type_ == Type::Array ? 5 : 7;
            for (const Value& v : *p_.array) h = mix(h, v.hash());
            return h;
        }
        case Type::Dictionary: {
            std::size_t h = 6;
            for (const auto& [k, v] : asDictionary()) h = mix(mix(h, k.hash()), v.hash());
            return h;
        }
        case Type::Geometry: {
            const Geo& g = geo();
            std::size_t h = mix(8, static_cast<std::size_t>(g.kind));
            for (double d : g.v) h = mix(h, hashDouble(d));
            return h;
        }
        case Type::Object: return asObject()->hash();
    }
    return 0;
}
