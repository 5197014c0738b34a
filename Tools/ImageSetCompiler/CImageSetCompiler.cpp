#include "ImageSetCompiler/CImageSetCompiler.h"

#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>

#include "Common/ByteWriter.h"
#include "Common/ToolFiles.h"
#include "Common/TrueTypeFace.h"
#include "Other/CImageSet.h"

namespace qel {

namespace {

using SValue = CImageSet::SValue;

enum Role { X, Y, Length, Number };

struct SPoint {
    SValue x, y;
};
struct SVertex {
    uint8_t kind;
    std::vector<SPoint> points;
};

bool parseNumber(const std::string& text, float& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end || !std::isfinite(value) || std::fabs(value) > 100000) return false;
    out = float(value);
    return true;
}

// Moves an anchored coordinate by a distance in view units.
SValue shifted(SValue value, double distance) {
    value.from = float(value.from + distance);
    value.to = float(value.to + distance);
    return value;
}

class CCompiler {
public:
    explicit CCompiler(std::string fontFolder) : m_fontFolder(std::move(fontFolder)) {}

    bool run(const std::string& text, std::vector<uint8_t>& output);
    std::string failure;

private:
    bool fail(const std::string& message) {
        failure = std::to_string(m_line) + ": " + message;
        return false;
    }
    bool statement(const std::vector<std::string>& words);
    bool value(const std::string& token, Role role, SValue& out);
    bool point(const std::string& x, const std::string& y, SPoint& out) {
        return value(x, X, out.x) && value(y, Y, out.y);
    }
    bool shape(const std::string& kind, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& options);
    bool pathFromTokens(const std::vector<std::string>& args, std::vector<SVertex>& path);
    bool textPath(const std::vector<std::string>& args, const std::map<std::string, std::string>& options,
                  std::vector<SVertex>& path);
    bool ticksPath(const std::vector<std::string>& args, std::vector<SVertex>& path);
    bool colorIndex(const std::string& name, uint16_t& index);
    static void write(CByteWriter& out, const SValue& v);

    std::string m_fontFolder;
    int m_line = 0;
    float m_width = 0, m_height = 0;
    int m_frames = 1;
    bool m_stretchable = false;
    std::vector<std::pair<std::string, CColor>> m_colors;
    std::map<std::string, std::unique_ptr<CTrueTypeFace>> m_faces;
    CByteWriter m_ops;
    int m_opCount = 0;
};

std::vector<std::string> tokenize(const std::string& line, bool& ok) {
    std::vector<std::string> words;
    ok = true;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(uint8_t(line[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        if (line[i] == '"') {
            end = line.find('"', i + 1);
            if (end == std::string::npos) {
                ok = false;
                return words;
            }
            ++end;
        } else {
            while (end < line.size() && !std::isspace(uint8_t(line[end])))
                ++end;
        }
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, ','))
        parts.push_back(part);
    return parts;
}

bool CCompiler::value(const std::string& token, Role role, SValue& out) {
    out = {};
    std::string text = token;
    if (!text.empty() && (text[0] == 'e' || text[0] == 'c')) {
        out.anchor = text[0] == 'e' ? CImageSet::FromEnd : CImageSet::FromCentre;
        text.erase(0, 1);
        if (text.empty()) text = "0";
    } else if (!text.empty() && text.back() == '%') {
        out.anchor = CImageSet::Fraction;
        text.pop_back();
    }
    if ((role == Length || role == Number) && out.anchor != CImageSet::FromStart)
        return fail("\"" + token + "\": only coordinates take an anchor");
    const size_t range = text.find("..");
    bool ok = range == std::string::npos ? parseNumber(text, out.from)
                                         : parseNumber(text.substr(0, range), out.from) &&
                                               parseNumber(text.substr(range + 2), out.to);
    if (!ok) return fail("\"" + token + "\" is not a value");
    out.animated = range != std::string::npos;
    if (!out.animated) out.to = out.from;
    if (out.anchor == CImageSet::Fraction) {
        out.from /= 100;
        out.to /= 100;
    }
    return true;
}

void CCompiler::write(CByteWriter& out, const SValue& v) {
    out.u8(uint8_t(v.anchor | (v.animated ? CImageSet::kAnimated : 0)));
    out.f32(v.from);
    if (v.animated) out.f32(v.to);
}

bool CCompiler::colorIndex(const std::string& name, uint16_t& index) {
    for (size_t i = 0; i < m_colors.size(); ++i)
        if (m_colors[i].first == name) {
            index = uint16_t(i);
            return true;
        }
    return fail("colour \"" + name + "\" is not declared");
}

bool CCompiler::pathFromTokens(const std::vector<std::string>& args, std::vector<SVertex>& path) {
    size_t i = 0;
    while (i < args.size()) {
        const std::string& command = args[i++];
        const int points = command == "M" || command == "L" ? 1 : command == "Q" ? 2 : command == "C" ? 3 : 0;
        if (command == "Z") continue; // every contour is closed when filled
        if (!points) return fail("unknown path command \"" + command + "\"");
        if (i + 2 * size_t(points) > args.size())
            return fail("path command \"" + command + "\" lacks points");
        SVertex v{uint8_t(command == "M" ? 1 : command == "L" ? 2 : command == "Q" ? 3 : 4), {}};
        for (int k = 0; k < points; ++k, i += 2) {
            v.points.emplace_back();
            if (!point(args[i], args[i + 1], v.points.back())) return false;
        }
        if (path.empty() && v.kind != 1) return fail("a path starts with M");
        path.push_back(std::move(v));
    }
    return true;
}

bool CCompiler::textPath(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& options, std::vector<SVertex>& path) {
    if (args.size() != 5 || args[4].size() < 2 || args[4][0] != '"')
        return fail("text takes x y size face \"text\"");
    SPoint origin;
    float size = 0;
    if (!point(args[0], args[1], origin) || !parseNumber(args[2], size) || !(size > 0)) return false;
    if (origin.x.animated || origin.y.animated || origin.x.anchor == CImageSet::Fraction ||
        origin.y.anchor == CImageSet::Fraction)
        return fail("text is placed with fixed, non-fractional coordinates");
    auto& face = m_faces[args[3]];
    if (!face) {
        std::string bytes;
        face = std::make_unique<CTrueTypeFace>();
        if (!readInputFile(m_fontFolder + "/" + args[3], bytes, failure) || !face->open(bytes, failure)) {
            m_faces.erase(args[3]);
            return fail(failure);
        }
    }
    const stbtt_fontinfo& info = face->info();
    const double scale = size / face->unitsPerEm();
    float spacing = 0;
    if (options.count("spacing") && !parseNumber(options.at("spacing"), spacing)) return fail("bad spacing");
    const std::string text = args[4].substr(1, args[4].size() - 2);
    std::vector<int> glyphs;
    for (unsigned char c : text) {
        if (c >= 0x80) return fail("text is ASCII");
        glyphs.push_back(stbtt_FindGlyphIndex(&info, c));
    }
    std::vector<double> pens;
    double pen = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (i) pen += stbtt_GetGlyphKernAdvance(&info, glyphs[i - 1], glyphs[i]) * scale + spacing;
        pens.push_back(pen);
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&info, glyphs[i], &advance, &bearing);
        pen += advance * scale;
    }
    const std::string align = options.count("align") ? options.at("align") : "left";
    const double shift = align == "center" ? -pen / 2 : align == "right" ? -pen : 0;
    if (align != "left" && align != "center" && align != "right")
        return fail("align is left, center or right");
    for (size_t i = 0; i < glyphs.size(); ++i) {
        stbtt_vertex* shape = nullptr;
        const int count = stbtt_GetGlyphShape(&info, glyphs[i], &shape);
        auto at = [&](double x, double y) {
            return SPoint{shifted(origin.x, shift + pens[i] + x * scale), shifted(origin.y, -y * scale)};
        };
        for (int k = 0; k < count; ++k) {
            const stbtt_vertex& v = shape[k];
            SVertex out{uint8_t(v.type), {}};
            if (v.type == STBTT_vcurve) out.points.push_back(at(v.cx, v.cy));
            if (v.type == STBTT_vcubic) {
                out.points.push_back(at(v.cx, v.cy));
                out.points.push_back(at(v.cx1, v.cy1));
            }
            out.points.push_back(at(v.x, v.y));
            path.push_back(std::move(out));
        }
        stbtt_FreeShape(&info, shape);
    }
    return true;
}

bool CCompiler::ticksPath(const std::vector<std::string>& args, std::vector<SVertex>& path) {
    if (args.size() != 8) return fail("ticks take cx cy inner outer start end count width");
    SPoint centre;
    float inner = 0, outer = 0, start = 0, end = 0, count = 0, width = 0;
    if (!point(args[0], args[1], centre) || !parseNumber(args[2], inner) || !parseNumber(args[3], outer) ||
        !parseNumber(args[4], start) || !parseNumber(args[5], end) || !parseNumber(args[6], count) ||
        !parseNumber(args[7], width) || count < 1 || count > 360 || !(width > 0))
        return fail("bad ticks");
    if (centre.x.anchor == CImageSet::Fraction || centre.y.anchor == CImageSet::Fraction)
        return fail("ticks are centred with non-fractional coordinates");
    const int n = int(count);
    for (int i = 0; i < n; ++i) {
        const double degrees = n > 1 ? start + (end - start) * i / (n - 1) : start;
        const double a = degrees * std::numbers::pi / 180;
        const double ux = std::sin(a), uy = -std::cos(a), nx = -uy * width / 2, ny = ux * width / 2;
        const double corners[4][2] = {{ux * inner - nx, uy * inner - ny},
                                      {ux * outer - nx, uy * outer - ny},
                                      {ux * outer + nx, uy * outer + ny},
                                      {ux * inner + nx, uy * inner + ny}};
        for (int k = 0; k < 4; ++k)
            path.push_back(
                SVertex{uint8_t(k ? 2 : 1),
                        {SPoint{shifted(centre.x, corners[k][0]), shifted(centre.y, corners[k][1])}}});
    }
    return true;
}

bool CCompiler::shape(const std::string& kind, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& options) {
    static const std::map<std::string, std::pair<CImageSet::Shape, std::vector<Role>>> shapes{
        {"rect", {CImageSet::Rect, {X, Y, X, Y}}},
        {"roundrect", {CImageSet::RoundRect, {X, Y, X, Y, Length}}},
        {"ellipse", {CImageSet::Ellipse, {X, Y, Length, Length}}},
        {"circle", {CImageSet::Ellipse, {X, Y, Length}}},
        {"arc", {CImageSet::ArcBand, {X, Y, Length, Length, Number, Number}}},
        {"line", {CImageSet::Line, {X, Y, X, Y, Length}}},
        {"path", {CImageSet::Path, {}}},
        {"text", {CImageSet::Path, {}}},
        {"ticks", {CImageSet::Path, {}}},
    };
    const auto found = shapes.find(kind);
    if (found == shapes.end()) return fail("unknown statement \"" + kind + "\"");
    const auto& [shapeKind, roles] = found->second;

    std::vector<SValue> geometry;
    std::vector<SVertex> path;
    if (kind == "path") {
        if (!pathFromTokens(args, path)) return false;
    } else if (kind == "text") {
        if (!textPath(args, options, path)) return false;
    } else if (kind == "ticks") {
        if (!ticksPath(args, path)) return false;
    } else {
        if (args.size() != roles.size())
            return fail(kind + " takes " + std::to_string(roles.size()) + " values");
        for (size_t i = 0; i < roles.size(); ++i) {
            geometry.emplace_back();
            if (!value(args[i], roles[i], geometry.back())) return false;
        }
        if (kind == "circle") geometry.push_back(geometry.back());
    }
    if (shapeKind == CImageSet::Path && path.size() > 65535) return fail("path too long");

    // Paint.
    CImageSet::Paint paint = CImageSet::Solid;
    std::vector<uint16_t> stops;
    SValue axis[4], cell;
    uint32_t seed = 0;
    if (options.count("grad")) {
        paint = CImageSet::Gradient;
        for (const std::string& name : splitList(options.at("grad"))) {
            stops.emplace_back();
            if (!colorIndex(name, stops.back())) return false;
        }
        if (stops.size() < 2 || stops.size() > size_t(CImageSet::kMaxStops))
            return fail("grad takes 2 to 8 colours");
        const auto from = splitList(options.count("from") ? options.at("from") : "");
        const auto to = splitList(options.count("to") ? options.at("to") : "");
        if (from.size() != 2 || to.size() != 2) return fail("grad needs from=x,y and to=x,y");
        if (!value(from[0], X, axis[0]) || !value(from[1], Y, axis[1]) || !value(to[0], X, axis[2]) ||
            !value(to[1], Y, axis[3]))
            return false;
    } else {
        if (!options.count("fill")) return fail(kind + " needs fill=COLOUR or grad=COLOURS");
        stops.emplace_back();
        if (!colorIndex(options.at("fill"), stops.back())) return false;
        if (options.count("noise")) {
            paint = CImageSet::Noise;
            const auto parts = splitList(options.at("noise"));
            float seedValue = 0;
            if (parts.size() != 2 || !parseNumber(parts[0], seedValue) || seedValue < 0 ||
                !value(parts[1], Length, cell) || !(cell.from > 0))
                return fail("noise takes SEED,CELL");
            seed = uint32_t(seedValue);
        }
    }
    SValue opacity, blur, outline;
    opacity.from = opacity.to = 1;
    if (options.count("opacity") && !value(options.at("opacity"), Number, opacity)) return false;
    if (options.count("blur") && !value(options.at("blur"), Length, blur)) return false;
    if (options.count("outline")) {
        if (shapeKind != CImageSet::Rect && shapeKind != CImageSet::RoundRect &&
            shapeKind != CImageSet::Ellipse)
            return fail("only rect, roundrect, ellipse and circle take an outline");
        if (!value(options.at("outline"), Length, outline)) return false;
    }
    int first = 0, last = m_frames - 1;
    if (options.count("frames")) {
        const std::string& range = options.at("frames");
        const size_t dash = range.find('-');
        float a = 0, b = 0;
        if (!parseNumber(range.substr(0, dash), a) ||
            !parseNumber(dash == std::string::npos ? range : range.substr(dash + 1), b))
            return fail("frames takes N or N-M");
        first = int(a);
        last = int(b);
        if (first < 0 || first > last || last >= m_frames)
            return fail("frames outside 0.." + std::to_string(m_frames - 1));
    }
    for (const auto& [key, unused] : options)
        if (key != "fill" && key != "grad" && key != "from" && key != "to" && key != "noise" &&
            key != "opacity" && key != "blur" && key != "outline" && key != "frames" && key != "align" &&
            key != "spacing")
            return fail("unknown option \"" + key + "\"");

    m_ops.u8(shapeKind);
    m_ops.u8(paint);
    m_ops.u16(uint16_t(first));
    m_ops.u16(uint16_t(last));
    m_ops.u8(uint8_t(stops.size()));
    for (uint16_t index : stops)
        m_ops.u16(index);
    write(m_ops, opacity);
    write(m_ops, blur);
    write(m_ops, outline);
    if (paint == CImageSet::Gradient)
        for (const SValue& v : axis)
            write(m_ops, v);
    if (paint == CImageSet::Noise) {
        m_ops.u32(seed);
        write(m_ops, cell);
    }
    if (shapeKind == CImageSet::Path) {
        m_ops.u16(uint16_t(path.size()));
        for (const SVertex& v : path) {
            m_ops.u8(v.kind);
            for (const SPoint& p : v.points) {
                write(m_ops, p.x);
                write(m_ops, p.y);
            }
        }
    } else {
        for (const SValue& v : geometry)
            write(m_ops, v);
    }
    if (++m_opCount > 4096) return fail("too many shapes");
    return true;
}

bool CCompiler::statement(const std::vector<std::string>& words) {
    const std::string& key = words[0];
    std::vector<std::string> args;
    std::map<std::string, std::string> options;
    for (size_t i = 1; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        if (words[i][0] != '"' && equals != std::string::npos && equals > 0)
            options[words[i].substr(0, equals)] = words[i].substr(equals + 1);
        else
            args.push_back(words[i]);
    }
    if (key == "size") {
        if (m_opCount || args.size() != 2 || !parseNumber(args[0], m_width) ||
            !parseNumber(args[1], m_height) || !(m_width > 0) || !(m_height > 0) || m_width > 4096 ||
            m_height > 4096)
            return fail("size takes a width and a height (before any shape)");
        return true;
    }
    if (key == "frames") {
        float frames = 0;
        if (m_opCount || args.size() != 1 || !parseNumber(args[0], frames) || frames < 1 || frames > 4096)
            return fail("frames takes a count from 1 to 4096 (before any shape)");
        m_frames = int(frames);
        return true;
    }
    if (key == "stretchable") {
        m_stretchable = true;
        return args.empty() || fail("stretchable takes nothing");
    }
    if (key == "color") {
        CColor color;
        if (args.size() != 2 || args[0].size() > 64 || !color.parse(CString(args[1].c_str())))
            return fail("color takes a name and #rrggbb or #rrggbbaa");
        for (const auto& [name, existing] : m_colors)
            if (name == args[0]) return fail("colour \"" + name + "\" declared twice");
        if (m_colors.size() >= 65535) return fail("too many colours");
        m_colors.emplace_back(args[0], color);
        return true;
    }
    return shape(key, args, options);
}

bool CCompiler::run(const std::string& text, std::vector<uint8_t>& output) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        ++m_line;
        bool ok = true;
        const std::vector<std::string> words = tokenize(line, ok);
        if (!ok) return fail("unterminated quote");
        if (words.empty() || words[0][0] == '#') continue;
        if (!statement(words)) return false;
    }
    if (!(m_width > 0)) return fail("no size given");
    CByteWriter out;
    out.text("QEIS");
    out.u16(CImageSet::kVersion);
    out.u16(m_stretchable ? CImageSet::kStretchable : 0);
    out.f32(m_width);
    out.f32(m_height);
    out.u16(uint16_t(m_frames));
    out.u16(uint16_t(m_colors.size()));
    out.u16(uint16_t(m_opCount));
    out.u16(0);
    for (const auto& [name, color] : m_colors) {
        out.u8(uint8_t(name.size()));
        out.text(name);
        out.u8(color.r);
        out.u8(color.g);
        out.u8(color.b);
        out.u8(color.a);
    }
    output = std::move(out.bytes);
    output.insert(output.end(), m_ops.bytes.begin(), m_ops.bytes.end());
    return true;
}

} // namespace

bool CImageSetCompiler::compile(const std::string& description, const std::string& fontFolder,
                                std::vector<uint8_t>& output, std::string& failure) {
    CCompiler compiler(fontFolder);
    if (compiler.run(description, output)) return true;
    failure = compiler.failure;
    return false;
}

} // namespace qel
