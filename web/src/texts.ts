// Every text the page shows comes from here: one catalog per language (i18n/), the same keys in
// each (the type system holds them to English's), and `format` filling in a text's values in the
// language in use. Numbers are written as that language writes them; a text of plural forms is
// chosen by its `count`, as Intl.PluralRules says for the language.

import { en } from "./i18n/en";
import { zhCN } from "./i18n/zh-CN";

export type PluralForms = Partial<Record<Intl.LDMLPluralRule, string>> & { other: string };

/** A catalog: English's keys, each a text or (where English has them) plural forms. */
export type Catalog = { readonly [K in keyof typeof en]: (typeof en)[K] extends string ? string : PluralForms };

export type TextKey = keyof Catalog;

/** The page's languages; "pseudo" is English with every text marked ⟦so⟧, for finding words that
 *  no catalog gives (a translator's check: config.ini [page] language = pseudo). */
export type Language = "en" | "zh-CN" | "pseudo";

function pseudo(catalog: Catalog): Catalog {
    const mark = (text: string) => `⟦${text}⟧`;
    return Object.fromEntries(Object.entries(catalog).map(([key, entry]: [string, string | PluralForms]) => [key, typeof entry === "string"
        ? mark(entry) : Object.fromEntries(Object.entries(entry).map(([form, text]) => [form, mark(text ?? "")]))])) as Catalog;
}

export const catalogs: Record<Language, Catalog> = { en, "zh-CN": zhCN, pseudo: pseudo(en) };

let current: Language = "en";
let catalog: Catalog = en;
let pluralRules = new Intl.PluralRules(current);
let numbers = new Intl.NumberFormat(current);

/** The locale Intl writes numbers, sizes and durations for. */
export function intlLocale(): string {
    return current === "pseudo" ? "en" : current;
}

/** The language the texts are in. */
export function language(): Language {
    return current;
}

/** Puts the texts in `next`. */
export function setLanguage(next: Language): void {
    current = next;
    catalog = catalogs[next];
    pluralRules = new Intl.PluralRules(intlLocale());
    numbers = new Intl.NumberFormat(intlLocale());
}

/** The page's language for the desktop's, given as GLib lists them in gettext's order (LANGUAGE,
 *  then LC_ALL, LC_MESSAGES or LANG, each followed by its shorter forms: "zh_CN.UTF-8", "zh_CN",
 *  "zh", ..., "C"): the first one the page has. Chinese is the simplified script's zh-CN; a name of
 *  the traditional script's places (TW, HK, MO, Hant) is not, nor the bare "zh" that follows it, so
 *  such a desktop falls through to its next language. English when none matches. */
export function desktopLanguage(names: readonly string[]): Language {
    let traditional = false;
    for (const name of names) {
        const parts = name.split(/[.@]/)[0].replace(/-/g, "_").split("_").map((part) => part.toLowerCase());
        if (parts[0] === "en")
            return "en";
        if (parts[0] !== "zh")
            continue;
        if (parts.slice(1).some((part) => part === "tw" || part === "hk" || part === "mo" || part === "hant"))
            traditional = true;
        else if (parts.length > 1 || !traditional)
            return "zh-CN";
    }
    return "en";
}

/** The text of `key` with each `{name}` replaced by values[name], numbers written in the language
 *  in use (pass a code as a string: it is not a quantity). */
export function format(key: TextKey, values: Record<string, string | number> = {}): string {
    const entry: string | PluralForms = catalog[key];
    const text = typeof entry === "string" ? entry : entry[pluralRules.select(Number(values.count ?? 0))] ?? entry.other;
    return text.replace(/\{(\w+)\}/g, (whole, name: string) => {
        const value = values[name];
        return value === undefined ? whole : typeof value === "number" ? numbers.format(value) : value;
    });
}
