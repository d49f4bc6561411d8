#include "gui/native_backend.h"

#include <gtk/gtk.h>

namespace sarvoke {

void InstallCompactStyle() {
  static bool installed = false;
  if (installed) return;
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen) return;
  installed = true;
  // The window's controls are 20 to 24 pixels high; the theme's paddings would clip their text.
  static const char css[] =
      "entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
      "button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
      "combobox button, combobox box { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
      "notebook tab { min-height: 0; padding: 2px 8px; }\n"
      "notebook header.top tabs { margin: 0; }\n";
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css, -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

}  // namespace sarvoke
