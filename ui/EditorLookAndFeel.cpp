// ui/EditorLookAndFeel
