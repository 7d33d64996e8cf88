// Must not build: plain logic reaching a widget by its bare class name.
#include <QLineEdit>

int LayerProbe() {
    return sizeof(QLineEdit);
}
