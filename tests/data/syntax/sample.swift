// TODO 1 -oSam: async let
/* outer /* nested */ still */
let multi = """
    // not a comment
    "quotes" inside
    """ // DONE: multi-line
let raw = #"raw "/* no */" string"# /* after raw */
let rawMulti = #"""
    """ not closed here
    """# // closed with the hash
let greeting = "Hi \(name /* a comment in interpolation */) /* text */" // TODO: l10n
let `default` = 1 // a quoted name
