// TODO: in a hidden folder
