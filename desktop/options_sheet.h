// The writer options sheet: one page per configurable writer, each a grid
// of check boxes standing for bits of that writer's option word ("WRT_" and
// the upper-case extension in the settings store), built from the options
// the writer declares beside its code (formats/writer_options.h). A page
// loads its word when it is first displayed; OK stores the word of every
// page displayed, built from its boxes alone; Cancel stores nothing.
#pragma once

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <vector>

class QCheckBox;
class QTabWidget;

namespace ferolin {

// One writer's page: a box for each check option its writer declares, in
// the declarations' order, at the place they give.
class OptionPage : public QWidget {
    Q_OBJECT
public:
    // `extension` names the writer's row of the format table.
    OptionPage(const char* extension, QWidget* parent);

    const char* extension() const { return extension_; }
    bool loaded() const { return loaded_; }
    // First display: the stored word (all ones when absent) sets the boxes.
    void Load();
    // The word of the checked boxes, which OK stores under the page's value
    // name ("WRT_" and the upper-case extension).
    uint32_t Word() const;

private:
    struct Box {
        uint32_t bit;
        QCheckBox* box;
    };
    const char* extension_;
    std::vector<Box> boxes_;
    bool loaded_ = false;
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
