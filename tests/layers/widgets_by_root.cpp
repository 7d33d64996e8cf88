// Must not build: plain logic reaching a widget through the Qt include root.
#include <QtWidgets/QLineEdit>

int LayerProbe() {
    return sizeof(QLineEdit);
}
