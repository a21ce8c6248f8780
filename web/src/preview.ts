// What a repair is about to do, shown before it changes anything: each item, what happens to it and
// where it goes, with the run confirmed by a button named for the action and Cancel the default
// (Enter must never change a machine). The words are built by `repairPreview`; the dialog only
// shows them.

import { el, clear, append } from "./dom";
import type { RunRequest } from "./session";
import { format } from "./texts";
import { byteText } from "./transfer";

export interface PreviewLine {
    fileName: string;
    name: string;
    /** Its size as the server says it; "" until it has (or when it does not). */
    size: string;
    /** What happens to it. */
    action: string;
    /** Where it goes: a Windows path in the prefix, or "" for an installer (it decides). */
    destination: string;
}

export interface Preview {
    title: string;
    /** Which machine changes: the prefix's name and folder. */
    where: string;
    lines: PreviewLine[];
    confirm: string;
}

/** The preview of `request` on the machine `where` names. Null when there is nothing to repair. */
export function repairPreview(request: RunRequest, where: string): Preview | null {
    const count = request.dlls.length + request.softwares.length;
    if (count === 0)
        return null;
    return {
        title: format("previewTitle", { count }),
        where,
        lines: [
            ...request.dlls.map((dll) => ({
                fileName: dll.fileName,
                name: dll.fileName,
                size: "",
                action: format(dll.needReg ? "previewDllRegister" : "previewDll"),
                destination: dll.filePath,
            })),
            ...request.softwares.map((software) => ({
                fileName: software.fileName,
                name: software.displayName,
                size: "",
                action: format("previewRuntime", { command: [software.fileName, software.cmdParam ?? ""].join(" ").trim() }),
                destination: "",
            })),
        ],
        confirm: format("previewConfirm", { count }),
    };
}

/** The preview with each file's size the server gave (a size of 0 says nothing). */
export function withSizes(preview: Preview, sizes: readonly { fileName: string; size: number }[]): Preview {
    const known = new Map(sizes.filter(({ size }) => size > 0).map(({ fileName, size }) => [fileName.toLowerCase(), size]));
    return { ...preview, lines: preview.lines.map((line) => {
        const size = known.get(line.fileName.toLowerCase());
        return size === undefined ? line : { ...line, size: byteText(size) };
    }) };
}

export interface PreviewDialog {
    element: HTMLDialogElement;
    /** Shows the preview; true once the user confirms it, false for Cancel, Escape or Enter. */
    ask(preview: Preview): Promise<boolean>;
    /** The preview shown, with what has come since (the sizes). */
    update(preview: Preview): void;
}

export function createPreviewDialog(): PreviewDialog {
    const title = el("h2");
    const where = el("p", { class: "preview-where" });
    const body = el("tbody");
    const confirm = el("button", { class: "primary", onclick: () => element.close("confirm") });
    const cancel = el("button", { onclick: () => element.close("cancel") }, format("cancel"));
    const element = el("dialog", { class: "preview", "aria-labelledby": "preview-title" },
        title, where,
        el("table", { class: "preview-items" },
            el("thead", {}, el("tr", {},
                el("th", {}, format("columnName")),
                el("th", {}, format("previewColumnAction")),
                el("th", {}, format("previewColumnSize")),
                el("th", {}, format("previewColumnDestination")))),
            body),
        el("p", { class: "dialog-buttons" }, confirm, cancel));
    title.id = "preview-title";
    let answer: ((confirmed: boolean) => void) | null = null;
    const showLines = (lines: readonly PreviewLine[]) => {
        clear(body);
        for (const line of lines)
            append(body, el("tr", {}, el("td", {}, line.name), el("td", {}, line.action), el("td", { class: "size" }, line.size),
                el("td", { class: "path" }, line.destination)));
    };
    element.addEventListener("close", () => {
        const confirmed = element.returnValue === "confirm";
        console.info(`tvn: preview: ${confirmed ? "confirmed" : "not confirmed"}`);
        answer?.(confirmed);
        answer = null;
    });
    return {
        element,
        ask(preview) {
            if (answer)
                return Promise.resolve(false); // one question at a time
            title.textContent = preview.title;
            where.textContent = preview.where;
            confirm.textContent = preview.confirm;
            showLines(preview.lines);
            element.returnValue = "";
            return new Promise((resolve) => {
                answer = resolve;
                element.showModal();
                cancel.focus();
                console.info(`tvn: preview: ${preview.title} ${preview.lines.map((line) => `${line.name} -> ${line.destination || line.action}`).join("; ")}`);
            });
        },
        update(preview) {
            if (!answer)
                return; // answered already
            showLines(preview.lines);
            console.info(`tvn: preview sizes: ${preview.lines.map((line) => `${line.name} ${line.size || "?"}`).join("; ")}`);
        },
    };
}
