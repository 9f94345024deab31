// On GTK the bar is a plain wx window, whose accessible object GTK makes as
// for any container: no role to speak of and no value. The bar's own
// accessible object is given the progress bar's role and is made an
// instance of a subclass of its own type that adds ATK's value interface,
// read from the bar: its position within its range, 0 to 100 as the bar's
// label shows it. The subclass adds no fields, so the object's memory stays
// as GTK made it. A change of value is announced from the UI thread, once
// per repaint.

#include "ui/bar_accessibility.h"

#include <algorithm>
#include <string>

#include <atk/atk.h>
#include <gtk/gtk.h>
#include <wx/window.h>

#include "ui/gradient_progress_ctrl.h"

namespace tarnwick {
namespace {

constexpr const char* kBarKey = "tarnwick-progress-bar";

// The bar is named on its widget, not on the accessible object: a reader
// may hold that object after the window is gone, and GTK then unsets its
// widget.
const CGradientProgressCtrl* BarOf(AtkValue* accessible) {
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
    return widget != nullptr ? static_cast<const CGradientProgressCtrl*>(g_object_get_data(G_OBJECT(widget), kBarKey))
                             : nullptr;
}

// The bar's position as a share of its range, 0 to 100, clamped as the
// system's own progress bar clamps it.
double ValueOf(AtkValue* accessible) {
    const CGradientProgressCtrl* bar = BarOf(accessible);
    if (bar == nullptr || bar->GetHighLimit() <= bar->GetLowLimit()) {
        return 0.0;
    }
    const double low = bar->GetLowLimit();
    const double share = (bar->Position() - low) / (bar->GetHighLimit() - low);
    return 100.0 * std::clamp(share, 0.0, 1.0);
}

void GetValueAndText(AtkValue* accessible, gdouble* value, gchar** text) {
    *value = ValueOf(accessible);
    if (text != nullptr) {
        *text = g_strdup_printf("%d %%", static_cast<int>(*value));
    }
}

AtkRange* GetRange(AtkValue*) { return atk_range_new(0.0, 100.0, nullptr); }

// The older calls, which some readers still make.
void GetCurrentValue(AtkValue* accessible, GValue* value) {
    g_value_init(value, G_TYPE_DOUBLE);
    g_value_set_double(value, ValueOf(accessible));
}
void GetMaximumValue(AtkValue*, GValue* value) {
    g_value_init(value, G_TYPE_DOUBLE);
    g_value_set_double(value, 100.0);
}
void GetMinimumValue(AtkValue*, GValue* value) {
    g_value_init(value, G_TYPE_DOUBLE);
    g_value_set_double(value, 0.0);
}

void InitValue(gpointer interface, gpointer) {
    auto* value = static_cast<AtkValueIface*>(interface);
    value->get_value_and_text = GetValueAndText;
    value->get_range = GetRange;
    value->get_current_value = GetCurrentValue;
    value->get_maximum_value = GetMaximumValue;
    value->get_minimum_value = GetMinimumValue;
}

// `parent` with the value interface added, and nothing else.
GType WithValue(GType parent) {
    const std::string name = std::string("TarnwickBar") + g_type_name(parent);
    if (const GType known = g_type_from_name(name.c_str())) {
        return known;
    }
    GTypeQuery query{};
    g_type_query(parent, &query);
    const GTypeInfo info{static_cast<guint16>(query.class_size), nullptr, nullptr, nullptr, nullptr, nullptr,
                         static_cast<guint16>(query.instance_size), 0, nullptr, nullptr};
    const GType type = g_type_register_static(parent, name.c_str(), &info, GTypeFlags(0));
    const GInterfaceInfo value{InitValue, nullptr, nullptr};
    g_type_add_interface_static(type, ATK_TYPE_VALUE, &value);
    return type;
}

}  // namespace

void ReportBarRange(wxWindow& bar, std::int32_t, std::int32_t) {
    auto* widget = static_cast<GtkWidget*>(bar.GetHandle());
    AtkObject* accessible = widget != nullptr ? gtk_widget_get_accessible(widget) : nullptr;
    if (accessible == nullptr) {
        return;
    }
    if (!ATK_IS_VALUE(accessible)) {
        const GType type = WithValue(G_OBJECT_TYPE(accessible));
        reinterpret_cast<GTypeInstance*>(accessible)->g_class = static_cast<GTypeClass*>(g_type_class_ref(type));
        g_object_set_data(G_OBJECT(widget), kBarKey, static_cast<CGradientProgressCtrl*>(&bar));
    }
    atk_object_set_role(accessible, ATK_ROLE_PROGRESS_BAR);
}

// Read when asked; the change is announced by AnnounceBarValue.
void ReportBarValue(wxWindow&, std::int32_t) {}

// Only a whole percent that differs from the last one said is announced,
// so a transfer makes at most about a hundred announcements.
void AnnounceBarValue(wxWindow& bar) {
    constexpr const char* kAnnouncedKey = "tarnwick-announced";
    auto* widget = static_cast<GtkWidget*>(bar.GetHandle());
    AtkObject* accessible = widget != nullptr ? gtk_widget_get_accessible(widget) : nullptr;
    if (accessible == nullptr || !ATK_IS_VALUE(accessible)) {
        return;
    }
    const double value = ValueOf(ATK_VALUE(accessible));
    // Stored one up, so that no value yet (null) is told from 0.
    const auto announced = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(accessible), kAnnouncedKey)) - 1;
    if (static_cast<int>(value) == announced) {
        return;
    }
    g_object_set_data(G_OBJECT(accessible), kAnnouncedKey, GINT_TO_POINTER(static_cast<int>(value) + 1));
    g_signal_emit_by_name(accessible, "value-changed", value, nullptr);
}

}  // namespace tarnwick
