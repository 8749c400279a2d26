// The setup dialog on GTK3. Without a display it says so instead of failing inside GTK, and it
// keeps numbers in the C locale whatever locale GTK switches the process to.
#include "platform/dialog.h"

#include <gtk/gtk.h>

#include <clocale>

namespace platform {

namespace {
struct DialogState {
    GtkWidget* combo = nullptr;
    GtkWidget* check = nullptr;
    bool done = false;
    DialogOutcome outcome = DialogOutcome::Exit;
    int selected = -1;
    bool checked = false;
};

void onStart(GtkButton*, gpointer data) {
    auto* state = static_cast<DialogState*>(data);
    state->selected = gtk_combo_box_get_active(GTK_COMBO_BOX(state->combo));
    state->checked = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(state->check));
    state->outcome = DialogOutcome::Start;
    state->done = true;
}

void onExit(GtkButton*, gpointer data) {
    auto* state = static_cast<DialogState*>(data);
    state->outcome = DialogOutcome::Exit;
    state->done = true;
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    onExit(nullptr, data);
    return TRUE;  // the loop below destroys the window
}
} // namespace

DialogOutcome runDialog(const DialogLayout& layout, int* selectedEntry, bool* checked) {
    // GTK switches the whole process to the user's locale. The dialog's texts may follow it, but
    // numbers the show reads or writes never do: a decimal comma is not ours.
    bool started = gtk_init_check(nullptr, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    if (!started) return DialogOutcome::NoDisplay;

    DialogState state;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), layout.title);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(window), 10);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    gtk_container_add(GTK_CONTAINER(window), grid);

    state.combo = gtk_combo_box_text_new();
    for (int i = 0; i < layout.entryCount; ++i)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(state.combo), layout.entries[i]);
    gtk_combo_box_set_active(GTK_COMBO_BOX(state.combo), layout.selectedEntry);
    gtk_grid_attach(GTK_GRID(grid), state.combo, 0, 0, 1, 1);

    GtkWidget* label = gtk_label_new(layout.labelText);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_grid_attach(GTK_GRID(grid), label, 1, 0, 1, 1);

    state.check = gtk_check_button_new_with_label(layout.checkText);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(state.check), layout.checked);
    gtk_grid_attach(GTK_GRID(grid), state.check, 0, 1, 2, 1);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
    GtkWidget* start = gtk_button_new_with_label(layout.startText);
    GtkWidget* exit = gtk_button_new_with_label(layout.exitText);
    gtk_box_pack_start(GTK_BOX(buttons), start, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(buttons), exit, TRUE, TRUE, 0);
    gtk_grid_attach(GTK_GRID(grid), buttons, 0, 2, 2, 1);

    g_signal_connect(start, "clicked", G_CALLBACK(onStart), &state);
    g_signal_connect(exit, "clicked", G_CALLBACK(onExit), &state);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), &state);

    // Start is the default button and starts with the focus, so Enter presses it.
    gtk_widget_set_can_default(start, TRUE);
    gtk_window_set_default(GTK_WINDOW(window), start);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(start);

    while (!state.done) gtk_main_iteration_do(TRUE);

    gtk_widget_destroy(window);
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);

    if (state.outcome == DialogOutcome::Start) {
        *selectedEntry = state.selected;
        *checked = state.checked;
    }
    return state.outcome;
}

} // namespace platform
