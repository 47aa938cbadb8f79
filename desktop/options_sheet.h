// The writer options sheet: one page per configurable writer, each a column
// of check boxes standing for bits of that writer's option word ("WRT_" and
// the upper-case extension in the settings store). A page loads its word when
// it is first displayed; OK stores the word of every page displayed, built
// from its boxes alone; Cancel stores nothing.
#pragma once

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <span>

class QCheckBox;
class QTabWidget;

namespace ferolin {

// One check box of a page: its label (string table), the option bit it
// stands for, its place in the page's two columns and its objectName.
struct OptionCheck {
    int labelId;
    uint32_t bit;
    int column;
    int row;
    const char* objectName;
};

class OptionPage : public QWidget {
    Q_OBJECT
public:
    OptionPage(const char* extension, std::span<const OptionCheck> checks, QWidget* parent);

    const char* extension() const { return extension_; }
    bool loaded() const { return loaded_; }
    // First display: the stored word (all ones when absent) sets the boxes.
    void Load();
    // The word of the checked boxes, which OK stores under the page's value
    // name ("WRT_" and the upper-case extension).
    uint32_t Word() const;

private:
    const char* extension_;
    std::span<const OptionCheck> checks_;
    QCheckBox* boxes_[16] = {};
    bool loaded_ = false;
};

class GpxPage : public OptionPage {
    Q_OBJECT
public:
    explicit GpxPage(QWidget* parent = nullptr);
};
class KmlPage : public OptionPage {
    Q_OBJECT
public:
    explicit KmlPage(QWidget* parent = nullptr);
};
class TxtPage : public OptionPage {
    Q_OBJECT
public:
    explicit TxtPage(QWidget* parent = nullptr);
};
class CsvPage : public OptionPage {
    Q_OBJECT
public:
    explicit CsvPage(QWidget* parent = nullptr);
};
class NmeaPage : public OptionPage {
    Q_OBJECT
public:
    explicit NmeaPage(QWidget* parent = nullptr);
};
class FitPage : public OptionPage {
    Q_OBJECT
public:
    explicit FitPage(QWidget* parent = nullptr);
};

// The sheet, captioned "Options", pages GPX, KML, TXT, CSV, NMEA and FIT
// Writer in that order, the first selected; OK and Cancel, no Apply.
class OptionsSheet : public QDialog {
    Q_OBJECT
public:
    explicit OptionsSheet(QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    OptionPage* page(int index) const;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTabWidget* tabs_;
};

}  // namespace ferolin
