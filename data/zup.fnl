modern modern.fnt
serif serif.fnt
script script.fnt
duplex duplex.fnt
