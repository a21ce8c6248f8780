// A table of catalog items (the Libraries or the Runtimes view): a check box to select, the name,
// the description, the status, a bar for a repair's progress, and a button to repair (or retry)
// that one item. Rows are updated in place, so a catalog of thousands of items stays quick. The
// selection is the controller's: the check boxes show it and change it.

import { el } from "./dom";
import { needsRepair, rowBar, statusText, type ItemState } from "./items";
import { format, type TextKey } from "./texts";

export interface TableRow {
    fileName: string;
    name: string;
    description: string;
}

/** The selection a table shows and changes. */
export interface TableSelection {
    isSelected(fileName: string): boolean;
    select(fileName: string, on: boolean): void;
    selectAll(on: boolean): void;
    /** The user changed it. */
    changed(): void;
}

export interface ItemTable {
    element: HTMLElement;
    update(item: ItemState): void;
    /** Shows the selection as it is now (after the controller changed it). */
    showSelection(): void;
    setBusy(busy: boolean): void;
}

interface RowParts {
    row: HTMLTableRowElement;
    check: HTMLInputElement;
    status: HTMLElement;
    bar: HTMLProgressElement;
    action: HTMLButtonElement;
    item: ItemState | null;
    name: string;
}

export function createItemTable(label: string, rows: TableRow[], actionKey: TextKey, onAction: (fileName: string) => void,
    selection: TableSelection): ItemTable {
    const parts = new Map<string, RowParts>();
    let busy = false;
    const showSelection = () => {
        let all = parts.size > 0;
        for (const [, part] of parts) {
            part.check.checked = selection.isSelected(part.row.dataset.file as string);
            all &&= part.check.checked;
        }
        selectAll.checked = all;
    };
    const selectAll = el("input", { type: "checkbox", "aria-label": format("selectAll"), onchange: () => {
        selection.selectAll(selectAll.checked);
        showSelection();
        selection.changed();
    } });
    const body = el("tbody");
    for (const entry of rows) {
        const check = el("input", { type: "checkbox", "aria-label": entry.name, onchange: () => {
            selection.select(entry.fileName, check.checked);
            showSelection();
            selection.changed();
        } });
        const status = el("td", { class: "status" }, format("statusUnknown"));
        const bar = el("progress", { max: 100, value: 0, "aria-label": format("progressOf", { name: entry.name }) });
        const action = el("button", { class: "row-action", onclick: () => onAction(entry.fileName), disabled: true,
            "aria-label": format("actionOf", { action: format(actionKey), name: entry.name }) }, format(actionKey));
        const row = el("tr", { "data-file": entry.fileName, "data-status": "unknown" },
            el("td", { class: "select" }, check),
            el("td", { class: "name" }, entry.name),
            el("td", { class: "description" }, entry.description),
            status,
            el("td", { class: "progress" }, bar),
            el("td", { class: "action" }, action));
        parts.set(entry.fileName.toLowerCase(), { row, check, status, bar, action, item: null, name: entry.name });
    }
    const refreshAction = (part: RowParts) => {
        part.action.disabled = busy || !part.item || !needsRepair(part.item);
        const retry = part.item?.status === "failed" || part.item?.status === "cancelled";
        part.action.textContent = format(retry ? "retry" : actionKey);
        part.action.setAttribute("aria-label", format("actionOf", { action: part.action.textContent, name: part.name }));
    };
    const element = el("table", { class: "items", "aria-label": label },
        el("thead", {}, el("tr", {},
            el("th", { class: "select" }, selectAll),
            el("th", { class: "name" }, format("columnName")),
            el("th", { class: "description" }, format("columnDescription")),
            el("th", { class: "status" }, format("columnStatus")),
            el("th", { class: "progress" }, format("columnProgress")),
            el("th", { class: "action" }, format("columnAction")))),
        body);
    for (const part of parts.values())
        body.appendChild(part.row);
    showSelection();
    return {
        element,
        update(item) {
            const part = parts.get(item.fileName.toLowerCase());
            if (!part)
                return;
            part.item = item;
            part.row.dataset.status = item.status;
            part.status.textContent = statusText(item);
            const bar = rowBar(item);
            part.bar.hidden = bar === null;
            if (bar === "busy")
                part.bar.removeAttribute("value"); // indeterminate: no part of the work is known yet
            else
                part.bar.value = Math.round((bar ?? 0) * 100);
            refreshAction(part);
        },
        showSelection,
        setBusy(value) {
            busy = value;
            for (const part of parts.values())
                refreshAction(part);
        },
    };
}
