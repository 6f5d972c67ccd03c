// link/TonewheelUpload
