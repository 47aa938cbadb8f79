// Where the track view's map takes its tiles from: a URL template holding
// {z}, {x} and {y} (http, https or file), or a file:// folder of z/x/y.png
// tiles; OpenStreetMap's standard tiles when nothing is given. A text that
// names no such source is refused with a short sentence saying why, so that
// the window can show it instead of a map that stays blank.
#pragma once

#include <QString>

#include <optional>

#include "core/web_mercator.h"

namespace ferolin {

class TileSource {
public:
    // What Parse asks of a file:// source: its form only (a source read back
    // from the settings, whose folder may be on a drive not mounted now), or
    // also that its folder is there (a source the user has just typed).
    enum class Folder { MayBeMissing, MustExist };

    // OpenStreetMap's standard tiles.
    TileSource();
    static const QString& DefaultText();
    // "(c) OpenStreetMap contributors"
    static const QString& DefaultAttribution();

    // The source a text names (trimmed; empty for the default). A text that
    // names none gives nothing, and `why`, when given, says what is wrong.
    static std::optional<TileSource> Parse(const QString& text, QString* why = nullptr,
                                           Folder folder = Folder::MayBeMissing);

    // The text as given, trimmed; the default's template for the default.
    const QString& Text() const { return text_; }
    bool IsDefault() const { return text_ == DefaultText(); }
    // The address of one tile.
    QString UrlOf(const TileKey& key) const;
    // The text shown on the map: the default source's attribution, else
    // "Tiles: " and the source's host (or folder).
    const QString& Attribution() const { return attribution_; }

    bool operator==(const TileSource& other) const { return text_ == other.text_; }
    bool operator!=(const TileSource& other) const { return text_ != other.text_; }

private:
    QString text_;
    QString template_;  // with {z}, {x} and {y}, a folder's completed
    QString attribution_;
};

}  // namespace ferolin
