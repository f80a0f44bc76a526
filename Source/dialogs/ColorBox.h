#pragma once
// TColorBox: a drop-down list of named colours with a swatch beside each
// name: "Custom..." first (the colour dialog picks any colour, which then
// stands in that entry), the sixteen standard colours and four extended ones.
// Selected() is the colour shown; changed() follows a choice of the user, not
// SetSelected.
#include <QComboBox>

#include "platform/Color.h"

namespace velto {

class TColorBox : public QComboBox {
    Q_OBJECT
public:
    explicit TColorBox(QWidget* parent = nullptr);

    TColor Selected() const { return selected_; }
    // A colour of the list selects its entry; any other stands in the custom one.
    void SetSelected(TColor color);

    // The named colours in list order, after the custom entry.
    struct Named {
        const char* name;
        TColor color;
    };
    static const Named kNamed[20];

signals:
    void changed();

private:
    void activatedAt(int index);
    void setCustom(TColor color);

    TColor selected_ = clBlack;
};

}  // namespace velto
